"""Compares the scans of the sample machine under Wine with the Linux ones.

Differences that come from Wine itself, not from Veldan, are named here:
- Wine names the Windows folder C:\\windows, the image C:\\WINDOWS: texts
  compare without regard to case.
- Wine has no ControlSet00N keys, only a CurrentControlSet of its own
  (scripts/wine-machine.sh writes the selected control set there), while the
  Linux scan reports a trace of the control set under both of its names: the
  ControlSet001 twin of a CurrentControlSet item is not looked for.
- Nothing of the image runs under Wine (no processes hold files), so a cure
  under Wine removes at once what on the image waits for the restart: after
  the cure only what the Linux cure left behind may remain, never more.
"""
import json
import os
import sys

work = sys.argv[1]


def load(name):
    with open(os.path.join(work, name), encoding="utf-8") as f:
        return json.load(f)


def items(doc):
    return {
        (row["name"], item["type"], item["text"].lower())
        for row in doc["rows"]
        for item in row["items"]
    }


failures = 0


def check(name, ok, detail=""):
    global failures
    if not ok:
        failures += 1
        print(f"FAIL {name}\n{detail}")


def without_control_set_twins(found):
    return {
        i for i in found
        if not ("\\controlset001\\" in i[2] and
                (i[0], i[1], i[2].replace("\\controlset001\\", "\\currentcontrolset\\")) in found)
    }


linux, wine = load("linux-scan.json"), load("wine-scan.json")
check("same database", linux["database"] == wine["database"], f"{linux['database']} / {wine['database']}")
check("scan completed", wine["completed"])
lrows = sorted(r["name"] for r in linux["rows"])
wrows = sorted(r["name"] for r in wine["rows"])
check("same rows", lrows == wrows, f"linux {lrows}\nwine  {wrows}")
li, wi = without_control_set_twins(items(linux)), items(wine)
check("same items", li == wi,
      "only on Linux: " + "\n  ".join(map(str, sorted(li - wi))) +
      "\nonly under Wine: " + "\n  ".join(map(str, sorted(wi - li))))

cure = load("wine-cure.json")
check("cure checked every row", all(r.get("checked") for r in cure["rows"]),
      str([r["name"] for r in cure["rows"] if not r.get("checked")]))
after_linux = without_control_set_twins(items(load("linux-after-cure.json")))
after_wine = items(load("wine-after-cure.json"))
check("cured traces gone", after_wine <= after_linux,
      "left under Wine but cured on Linux:\n  " + "\n  ".join(map(str, sorted(after_wine - after_linux))))
cured = {i for i in li if i[1] in ("REGKEY", "FILE", "DIR")} - after_linux
check("cure removed keys and files", cured and not (cured & after_wine))

checks = 7
print(f"{checks - failures} passed, {failures} failed")
sys.exit(1 if failures else 0)
