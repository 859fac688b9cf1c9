#!/usr/bin/env bash
# wine-machine.sh IMAGE PREFIX: makes a fresh Wine prefix at PREFIX that holds
# the machine image IMAGE, so that veldan-cli.exe run in it sees that machine:
#   - the image's drive_c files, merged into the prefix's drive C: by name
#     without regard to case (an image's WINDOWS is Wine's windows); a file
#     that would replace one of Wine's own DLLs or programs is left out and
#     named, since Wine needs those to run;
#   - its registry: each registry/*.reg converted to UTF-16LE with a byte-order
#     mark (as regedit reads it) and imported in file-name order;
#   - its shell folders in the Windows XP layout under "Documents and
#     Settings\<user>" (and "All Users"), in the prefix's "User Shell Folders"
#     and "Shell Folders";
#   - the Windows version: XP for os=nt, 98 for os=9x.
# Processes and windows of machine.ini are not carried: nothing of the image
# runs in the prefix. Other tools use this script: keep its interface.
#
# The prefix is 32-bit, as Windows XP machines are (WINEARCH=win64 makes a
# 64-bit one: a 32-bit program there sees syswow64 as its system32).
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: wine-machine.sh IMAGE PREFIX" >&2
  exit 2
fi
image=$(cd "$1" && pwd)
prefix=$2
[ -d "$image/drive_c" ] || { echo "wine-machine.sh: $image is not a machine image (no drive_c/)" >&2; exit 1; }
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)
if [ -n "$(ls -A "$prefix")" ]; then
  echo "wine-machine.sh: $prefix is not empty; give a new or empty folder" >&2
  exit 1
fi
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=${WINEARCH:-win32}

python3 - "$image" "$prefix" <<'PY'
import configparser, os, shutil, sys

image, prefix = sys.argv[1], sys.argv[2]

def ini_machine(path):
    values = {"os": "nt", "user": "Owner", "windir": "C:\\WINDOWS"}
    if os.path.exists(path):
        cp = configparser.ConfigParser(strict=False, interpolation=None, comment_prefixes=(";", "#"))
        cp.optionxform = str.lower
        with open(path, encoding="utf-8-sig") as f:
            cp.read_string(f.read())
        if cp.has_section("machine"):
            for k, v in cp.items("machine"):
                values[k] = v
    return values

m = ini_machine(os.path.join(image, "machine.ini"))
with open(os.path.join(prefix, ".veldan-machine"), "w") as f:
    for k in ("os", "user", "windir"):
        f.write(f"{k}={m[k]}\n")
PY
# shellcheck disable=SC1090
os=$(sed -n 's/^os=//p' "$prefix/.veldan-machine")
user=$(sed -n 's/^user=//p' "$prefix/.veldan-machine")
rm -f "$prefix/.veldan-machine"

echo "wine-machine.sh: making the prefix (10-15 s)" >&2
wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
if [ "$os" = 9x ]; then version=win98; else version=winxp; fi
[ "$WINEARCH" = win64 ] && [ "$version" = winxp ] && version=winxp64
wine reg add 'HKCU\Software\Wine' /v Version /d "$version" /f >/dev/null 2>&1 || true

# drive_c, merged without regard to case.
python3 - "$image/drive_c" "$prefix/drive_c" <<'PY'
import os, shutil, sys

src_root, dst_root = sys.argv[1], sys.argv[2]

def match(folder, name):
    """The entry of `folder` named `name` without regard to case, else `name`."""
    try:
        for entry in os.listdir(folder):
            if entry.lower() == name.lower():
                return entry
    except FileNotFoundError:
        pass
    return name

def wine_system_file(path):
    """True for one of Wine's own DLL or program files, which Wine needs to run."""
    try:
        with open(path, "rb") as f:
            head = f.read(4096)
    except OSError:
        return False
    return b"Wine builtin DLL" in head or b"Wine placeholder DLL" in head

def merge(src, dst):
    os.makedirs(dst, exist_ok=True)
    for name in sorted(os.listdir(src)):
        s = os.path.join(src, name)
        d = os.path.join(dst, match(dst, name))
        if os.path.isdir(s) and not os.path.islink(s):
            if os.path.lexists(d) and not os.path.isdir(d):
                os.remove(d)
            merge(s, d)
        else:
            if os.path.isfile(d) and wine_system_file(d):
                print(f"wine-machine.sh: kept Wine's own {d[len(dst_root) + 1:]} (Wine needs it to run)",
                      file=sys.stderr)
                continue
            if os.path.isdir(d) and not os.path.islink(d):
                shutil.rmtree(d)
            elif os.path.lexists(d):
                os.remove(d)
            shutil.copy2(s, d)

merge(src_root, dst_root)
PY

# The registry, as regedit reads it: UTF-16LE with a byte-order mark, version
# 5.00. Wine has no ControlSet00N keys, only a CurrentControlSet of its own, so
# the control set that SYSTEM\Select names is written as CurrentControlSet (the
# name Windows shows it under while it runs). On the NT family Windows reads
# win.ini [windows] from the registry (IniFileMapping), and so does Wine: that
# section of the image's win.ini goes to HKCU\...\Windows NT\CurrentVersion\Windows.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
python3 - "$image" "$work" "$os" <<'PY'
import glob, os, re, sys

image, work, family = sys.argv[1], sys.argv[2], sys.argv[3]

def decode(data):
    if data.startswith(b"\xff\xfe"):
        return data[2:].decode("utf-16-le")
    raw = data[3:] if data.startswith(b"\xef\xbb\xbf") else data
    try:
        return raw.decode("utf-8")
    except UnicodeDecodeError:
        return raw.decode("cp949")

def write_reg(path, lines):
    text = "\r\n".join(lines) + "\r\n"
    open(path, "wb").write(b"\xff\xfe" + text.encode("utf-16-le"))

files = sorted(glob.glob(os.path.join(image, "registry", "*.reg")))
texts = [decode(open(f, "rb").read()) for f in files]
current = 1
for text in texts:
    m = re.search(r'\[HKEY_LOCAL_MACHINE\\SYSTEM\\Select\][^\[]*?"Current"=dword:([0-9a-fA-F]{8})', text, re.I)
    if m:
        current = int(m.group(1), 16)
control_set = re.compile(r"(HKEY_LOCAL_MACHINE\\SYSTEM\\)ControlSet%03d(?=\\|\])" % current, re.I)
for i, (f, text) in enumerate(zip(files, texts)):
    lines = text.splitlines()
    if lines and lines[0].strip().upper() == "REGEDIT4":
        lines[0] = "Windows Registry Editor Version 5.00"
    lines = [control_set.sub(r"\1CurrentControlSet", line) if line.startswith("[") else line
             for line in lines]
    write_reg(os.path.join(work, "%03d-%s" % (i, os.path.basename(f))), lines)

if family != "9x":
    win_ini = None
    windows = [d for d in os.listdir(os.path.join(image, "drive_c")) if d.lower() == "windows"]
    for d in windows:
        for name in os.listdir(os.path.join(image, "drive_c", d)):
            if name.lower() == "win.ini":
                win_ini = os.path.join(image, "drive_c", d, name)
    if win_ini:
        section, values = None, []
        for line in decode(open(win_ini, "rb").read()).splitlines():
            line = line.strip()
            if line.startswith("[") and line.endswith("]"):
                section = line[1:-1].strip().lower()
            elif section == "windows" and "=" in line and not line.startswith(";"):
                k, v = line.split("=", 1)
                values.append((k.strip(), v.strip()))
        if values:
            esc = lambda s: s.replace("\\", "\\\\").replace('"', '\\"')
            lines = ["Windows Registry Editor Version 5.00", "",
                     "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows]"]
            lines += ['"%s"="%s"' % (esc(k), esc(v)) for k, v in values]
            write_reg(os.path.join(work, "999-win.ini-windows.reg"), lines)
PY
# In a 64-bit prefix the 64-bit regedit writes the registry that 64-bit
# programs see (the 32-bit one writes below Wow6432Node).
regedit=(wine regedit)
if [ "$WINEARCH" = win64 ] && [ -x /usr/lib/wine/wine64 ]; then regedit=(/usr/lib/wine/wine64 regedit); fi
for reg in "$work"/*.reg; do
  [ -e "$reg" ] || continue
  "${regedit[@]}" /s "$(winepath -w "$reg")" >/dev/null 2>&1
done

# Shell folders in the XP layout, for the image's user.
if [ "$os" != 9x ]; then
  profile="C:\\Documents and Settings\\$user"
  common="C:\\Documents and Settings\\All Users"
  shell="$work/shell-folders.rg"
  python3 - "$shell" "$profile" "$common" <<'PY'
import sys
out, profile, common = sys.argv[1], sys.argv[2], sys.argv[3]
user = {
    "Desktop": "Desktop", "Favorites": "Favorites", "Start Menu": "Start Menu",
    "Programs": "Start Menu\\Programs", "Startup": "Start Menu\\Programs\\Startup",
    "AppData": "Application Data", "Local AppData": "Local Settings\\Application Data",
    "Personal": "My Documents", "Templates": "Templates", "SendTo": "SendTo",
}
all_users = {
    "Common Desktop": "Desktop", "Common Favorites": "Favorites",
    "Common Start Menu": "Start Menu", "Common Programs": "Start Menu\\Programs",
    "Common Startup": "Start Menu\\Programs\\Startup", "Common AppData": "Application Data",
}
def esc(s):
    return s.replace("\\", "\\\\")
lines = ["Windows Registry Editor Version 5.00", ""]
base = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer"
for root, table, folder in (("HKEY_CURRENT_USER", user, profile), ("HKEY_LOCAL_MACHINE", all_users, common)):
    for key in ("User Shell Folders", "Shell Folders"):
        lines.append(f"[{root}\\{base}\\{key}]")
        for name, rel in table.items():
            lines.append(f'"{name}"="{esc(folder + chr(92) + rel)}"')
        lines.append("")
open(out, "wb").write(b"\xff\xfe" + "\r\n".join(lines).encode("utf-16-le"))
PY
  "${regedit[@]}" /s "$(winepath -w "$shell")" >/dev/null 2>&1
  wine reg add 'HKCU\Volatile Environment' /v USERPROFILE /d "$profile" /f >/dev/null 2>&1 || true
fi
wineserver -w
echo "wine-machine.sh: $prefix holds $image (processes and windows of machine.ini are not carried)" >&2
