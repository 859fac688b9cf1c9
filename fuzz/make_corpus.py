#!/usr/bin/env python3
"""Makes the initial inputs in fuzz/corpus/<target>/ from the bundled sample
machine, the shipped databases and inputs like those of the unit tests.

    fuzz/make_corpus.py [--hives DIR]

--hives names an installation converted from the sample machine
(veldan-cli machine convert --from examples/machines/sample-xp --to DIR
--format hive); without it the hive corpus is left as it is.
"""
import argparse
import hashlib
import io
import os
import pathlib
import shutil
import struct
import zipfile

ROOT = pathlib.Path(__file__).resolve().parent.parent
SAMPLE = ROOT / "examples" / "machines" / "sample-xp"
CORPUS = ROOT / "fuzz" / "corpus"
KEY = b"NeverJudgeBookByItsCover"


def put(target, data, name=None):
    folder = CORPUS / target
    folder.mkdir(parents=True, exist_ok=True)
    if isinstance(data, str):
        data = data.encode("utf-8")
    name = name or hashlib.sha1(data).hexdigest()[:16]
    (folder / name).write_bytes(data)


def scramble(line: bytes) -> bytes:
    out = bytearray()
    for i, c in enumerate(line):
        x = c ^ KEY[i % len(KEY)]
        out += bytes([65 + (x >> 4), 65 + (x & 15)])
    return bytes(out)


def reg_inputs():
    for f in sorted((SAMPLE / "registry").glob("*.reg")):
        put("reg_file", f.read_bytes(), f.stem)
    v5 = "Windows Registry Editor Version 5.00\r\n\r\n"
    small = [
        v5 + '[HKEY_CURRENT_USER\\Software\\한글]\r\n"이름"="값 \\\\ \\""\r\n',
        v5 + '[hkey_classes_root\\.txt]\r\n@="txtfile"\r\n[HKU\\\\A\\\\B\\]\r\n',
        v5 + '[HKLM\\K]\r\n"d1"=dword:1\r\n"d8"=DWORD:FFFFFFFE\r\n'
        '"bin"=hex:00,0A,ff\r\n"none"=hex(0):\r\n"raw4"=hex(4):01,02\r\n'
        '"odd"=hex(12345678):7f\r\n"s"="C:\\Windows\\\\x"\r\n"e"=""\r\n'
        '"sz"=hex(1):5c,d5,00,00\r\n"noNul"=hex(1):41,00\r\n'
        '"multi"=hex(7):61,00,00,00,00,ae,00,00,00,00\r\n'
        '"long"=hex(2):25,00,\\\r\n  5c,d5,\\\n\t 25,00,00,00\r\n',
        v5 + '[-HKEY_LOCAL_MACHINE\\Gone]\r\n[HKEY_LOCAL_MACHINE\\Keep]\r\n"V"=-\r\n@=-\r\n',
        "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\X]\r\n"
        '"Exp"=hex(2):c7,d1,b1,db,00\r\n"Multi"=hex(7):61,00,c7,d1,00,00\r\n',
    ]
    for text in small:
        put("reg_file", text)
    put("reg_file", b"\xff\xfe" + small[2].encode("utf-16-le"), "utf16")
    put("reg_file", "REGEDIT4\r\n\r\n[HKLM\\K]\r\n\"v\"=\"".encode() + "값".encode("cp949") + b'"\r\n',
        "cp949")


def machine_ini_inputs():
    put("machine_ini", (SAMPLE / "machine.ini").read_bytes(), "sample")
    put("machine_ini", "[machine]\nos=9x\nuser=Kim\nwindir=C:\\WIN98\ntemp=C:\\TEMP\nadmin=no\n")
    put("machine_ini", "[window Ad]\nclass=AdWnd\nprocess=adw\ncloses=no\n"
        "[process adw]\nimage=C:\\a.exe\nholds=C:\\b.dll\nholds=C:\\c.dll\nterminable=no\n"
        "[protected]\nkey=HKLM\\Software\\Spy\n")


def ini_inputs():
    # The edit's section, key and value lead (each ended by a backslash and one
    # more byte), the text follows; the last byte chooses the edit.
    heads = ["windows\\ load\\ x.exe\\ ", "InternetShortcut\\ URL\\ about:blank\\ ",
             "boot\\ shell\\ \\ ", ".ShellClassInfo\\ IconFile\\ a\\ "]
    files = [SAMPLE / "drive_c" / "WINDOWS" / "win.ini", SAMPLE / "drive_c" / "WINDOWS" / "system.ini",
             SAMPLE / "drive_c" / "boot.ini"]
    files += sorted(SAMPLE.rglob("*.url"))[:2] + sorted(SAMPLE.rglob("desktop.ini"))[:1]
    for i, f in enumerate(files):
        for edit in range(4):
            put("ini_text", heads[(i + edit) % len(heads)].encode() + f.read_bytes() + bytes([edit]))
    put("ini_text", b"a\\ b\\ c\\ [s]\r\nk=v\nk2\n;c\n[S]\n k = v \r\n[t]]x]\nz=1" + bytes([0]))


def script_inputs():
    for name in ["addb", "ckdb", "dsdb"]:
        put("database", b"\x00" + (ROOT / "core" / f"{name}.txt").read_bytes() if name == "addb" else
            bytes([{"ckdb": 1, "dsdb": 2}[name]]) + (ROOT / "core" / f"{name}.txt").read_bytes(),
            f"{name}-plain")
    for name, sel in [("addb", 0), ("ckdb", 1), ("dsdb", 2)]:
        plain = (ROOT / "core" / f"{name}.txt").read_bytes()
        lines = plain.split(b"\n")
        put("database", bytes([sel | 4]) + b"\r\n".join(scramble(l.rstrip(b"\r")) for l in lines),
            f"{name}-scrambled")
        put("database", bytes([sel | 8]) + plain, f"{name}-scrambled-here")
    put("database", b"\x00#VERSION 1\r\n#NAME \r\nDType x\r\n^{bad}\r\nKillBit {3A1B5C7D-2E4F-4A60-8B9C-0D1E2F3A4B5C}\r\n")

    addb = (ROOT / "core" / "addb.txt").read_text("utf-8").split("\n")
    # Entries of the database as pieces of a few lines each.
    chunk = []
    for line in addb:
        if line.startswith("#NAME") and chunk:
            put("script_line", "\n".join(chunk))
            chunk = []
        chunk.append(line)
    put("script_line", "\n".join(chunk))
    put("script_line", 'HKEY_LOCAL_MACHINE\\Software\\X "a b" ""\n\tFile "%WINDIR%\\a b.exe"\n'
        ";Process \\x\\\nDType Spy\nWType \nMType m\n#NAME  \n^{00000000-0000-0000-0000-000000000001}\n"
        "#VERSION 9\nFile \"unclosed\n")


def zip_inputs():
    def make(entries, method):
        buf = io.BytesIO()
        with zipfile.ZipFile(buf, "w", method) as z:
            for name, data in entries:
                info = zipfile.ZipInfo(name, date_time=(2026, 12, 8, 9, 0, 0))
                info.compress_type = method
                if name.endswith("/"):
                    info.external_attr = 0o40755 << 16 | 0x10
                else:
                    info.external_attr = 0o100644 << 16
                z.writestr(info, data)
        return buf.getvalue()

    files = [("Veldan.exe", b"MZ" + b"\x90" * 200), ("data/", b""),
             ("data/addb", scramble(b"#VERSION 2026.12.09")), ("data/main.htm", b"<html></html>\r\n")]
    put("zip", make(files, zipfile.ZIP_STORED), "stored")
    put("zip", make(files, zipfile.ZIP_DEFLATED), "deflated")
    put("zip", make([("../evil.txt", b"x"), ("a/../../b", b"y")], zipfile.ZIP_STORED), "outside")
    put("zip", b"MZstub" + make([("a.txt", b"hello")], zipfile.ZIP_DEFLATED), "in-front")
    # Read-only flag and a comment.
    buf = io.BytesIO()
    with zipfile.ZipFile(buf, "w", zipfile.ZIP_DEFLATED) as z:
        info = zipfile.ZipInfo("ro.txt", date_time=(1999, 1, 1, 0, 0, 0))
        info.create_system = 0
        info.external_attr = 0x01
        z.writestr(info, b"read only")
        z.comment = b"release 1"
    put("zip", buf.getvalue(), "readonly")


def hive_inputs(hives):
    if not hives:
        return
    for f in sorted(pathlib.Path(hives).rglob("*")):
        if f.is_file() and f.name.upper() in ("SOFTWARE", "SYSTEM", "DEFAULT", "NTUSER.DAT", "USRCLASS.DAT"):
            data = f.read_bytes()
            put("hive", b"\x00" + data, f.name.lower())
            put("hive", b"\x03" + data, f.name.lower() + "-changed")


def link_inputs():
    for f in sorted(SAMPLE.rglob("*.lnk")):
        put("lnk", f.read_bytes(), f.stem.replace(" ", "-"))
    for f in sorted(SAMPLE.rglob("*.url")):
        put("url", f.read_bytes(), f.stem.replace(" ", "-"))
    put("url", "[InternetShortcut]\r\nURL=http://a.test/\r\nIconFile=C:\\x.ico\r\nIconIndex=-3\r\n"
        "HotKey=0x41\r\nShowCommand=7\r\nWorkingDirectory=C:\\\r\n")
    put("url", "\ufeff[internetshortcut]\nurl = about:blank \n[InternetShortcut]\nURL=second\n")


def http_inputs():
    answers = [
        "HTTP/1.1 200 OK\r\nContent-Length: 10\r\nContent-Type: text/plain\r\n\r\n2026.12.09",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\nX-Trailer: 1\r\n\r\n",
        "HTTP/1.1 302 Found\r\nLocation: /veldan/other\r\nContent-Length: 0\r\n\r\n",
        "HTTP/1.1 301 Moved\r\nLocation: http://elsewhere.test:8080/x\r\n\r\n",
        "HTTP/1.1 307 Temporary\r\nlocation:   https://secure.test/\r\n\r\n",
        "HTTP/1.1 404 Not Found\r\nContent-Length: 3\r\n\r\nno!",
        "HTTP/1.1 403 Forbidden\r\n\r\n",
        "HTTP/1.1 407 Proxy Authentication Required\r\nProxy-Authenticate: Basic realm=\"x\"\r\n\r\n",
        "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok",
        "HTTP/1.0 200 OK\r\n\r\nbody until close\x00after zero",
        "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\ncut short",
        "HTTP/1.1 500 Oops\r\nContent-Encoding: gzip\r\n\r\n",
    ]
    for a in answers:
        put("http_header", a.encode("latin-1"))
        put("http_header", a.encode("latin-1") + b" ")  # odd/even size: the other call


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--hives")
    args = parser.parse_args()
    for target in ["reg_file", "machine_ini", "ini_text", "script_line", "database", "zip", "lnk",
                   "url", "http_header"] + (["hive"] if args.hives else []):
        shutil.rmtree(CORPUS / target, ignore_errors=True)
    reg_inputs()
    machine_ini_inputs()
    ini_inputs()
    script_inputs()
    zip_inputs()
    hive_inputs(args.hives)
    link_inputs()
    http_inputs()


if __name__ == "__main__":
    main()
