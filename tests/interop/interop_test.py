#!/usr/bin/python3
"""dbfclean-cli against tables written and read by independent dBASE tools.

Tables are made with python3-dbf and with shapelib's dbfcreate/dbfadd, NUL
bytes are put into their fields, dbfclean-cli repairs them, and the result is
read back with python3-dbfread, python3-dbf and dbfdump and compared byte by
byte with what the repair may change: NUL bytes inside records, and nothing
else. Usage: interop_test.py PATH-TO-dbfclean-cli
"""
import os
import shutil
import struct
import subprocess
import sys
import tempfile

import dbf
import dbfread

CLI = os.path.abspath(sys.argv[1])
failures = []


def check(what, got, expected):
    if got != expected:
        failures.append(f"{what}:\n  got      {got!r}\n  expected {expected!r}")


def layout(path):
    """Header length, record length, record count and {field: (offset, length)}."""
    data = open(path, "rb").read()
    count, header, record = struct.unpack_from("<IHH", data, 4)
    fields, offset = {}, 1
    for at in range(32, header - 1, 32):
        if data[at] == 0x0D:
            break
        name = data[at : at + 11].split(b"\0")[0].decode()
        fields[name] = (offset, data[at + 16])
        offset += data[at + 16]
    return header, record, count, fields


def inject(path, damage):
    """Puts NUL bytes at (record number, field, index in field); returns the count."""
    header, record, _, fields = layout(path)
    data = bytearray(open(path, "rb").read())
    for rec, field, index in damage:
        offset, length = fields[field] if field else (0, 1)
        assert index < length
        data[header + (rec - 1) * record + offset + index] = 0
    open(path, "wb").write(data)
    return len(damage)


def repaired(before, path):
    """`before` with every NUL inside the records turned into a blank."""
    header, record, count, _ = layout(path)
    out = bytearray(before)
    for i in range(header, header + count * record):
        if out[i] == 0:
            out[i] = 0x20
    return bytes(out)


def run(*args):
    return subprocess.run([CLI, *args], capture_output=True, text=True)


def main():
    work = tempfile.mkdtemp(prefix="dbfclean-interop-")
    try:
        os.chdir(work)
        # python3-dbf: a dBASE III table with a memo file (version 0x83) and a deleted record.
        people = dbf.Table("people.dbf", "NAME C(10); AGE N(3,0); BORN D; OK L; NOTE M", dbf_type="db3",
                           codepage="cp437")
        people.open(dbf.READ_WRITE)
        people.append(("Anna", 31, dbf.Date(1993, 4, 5), True, "likes tea"))
        people.append(("Bert", 42, dbf.Date(1982, 1, 2), False, ""))
        people.append(("Carl", 7, None, None, "gone"))
        people.append(("Dora", 55, dbf.Date(1969, 12, 31), True, ""))
        dbf.delete(people[2])
        people.close()
        fixes = inject("people.dbf", [(1, "NAME", 1), (1, "NAME", 2), (2, "AGE", 0), (2, "BORN", 6),
                                      (2, "OK", 0), (3, "NAME", 3), (4, "NOTE", 0), (4, "NOTE", 9)])
        check("version byte of people.dbf", open("people.dbf", "rb").read()[0], 0x83)

        # shapelib: a dBASE III table without memo (version 0x03), and a clean one.
        subprocess.run(["dbfcreate", "town.dbf", "-s", "TOWN", "12", "-n", "POP", "8", "0"], check=True)
        subprocess.run(["dbfadd", "town.dbf", "Springfield", "30000"], check=True)
        subprocess.run(["dbfadd", "town.dbf", "Shelbyville", "20000"], check=True)
        fixes += inject("town.dbf", [(2, "TOWN", 2), (2, "POP", 7)])
        subprocess.run(["dbfcreate", "Clean.dbf", "-s", "WORD", "5"], check=True)
        subprocess.run(["dbfadd", "Clean.dbf", "hello"], check=True)
        old = (1_000_000_000, 1_000_000_000)
        os.utime("Clean.dbf", old)

        for name in ("x.ndx", "Y.NDX", ".hidden.ndx"):
            open(name, "w").write("index")
        before = {n: open(n, "rb").read() for n in ("people.dbf", "people.dbt", "town.dbf", "Clean.dbf")}

        result = run(work)
        check("exit status", result.returncode, 0)
        check("summary", result.stdout, f"Database(s) are cleaned up! Fixed {fixes} zeroes in 5 records\n")
        cleaning = [line for line in result.stderr.splitlines() if line.startswith("Cleaning ")]
        check("progress lines", cleaning,
              ["Cleaning Clean.dbf database...", "Cleaning people.dbf database...", "Cleaning town.dbf database..."])

        # Byte by byte: only the NUL bytes inside records changed.
        for name in ("people.dbf", "town.dbf"):
            check(f"bytes of {name}", open(name, "rb").read(), repaired(before[name], name))
            check(f"end-of-file marker of {name}", open(name, "rb").read()[-1:], before[name][-1:])
        check("memo file", open("people.dbt", "rb").read(), before["people.dbt"])
        check("clean table", open("Clean.dbf", "rb").read(), before["Clean.dbf"])
        check("clean table's modification time", os.stat("Clean.dbf").st_mtime, float(old[1]))
        check("index files left", sorted(n for n in os.listdir(".") if n.lower().endswith(".ndx")), [".hidden.ndx"])

        # Independent readers see blanks where the NULs were.
        table = dbfread.DBF("people.dbf", load=True)
        check("dbfread names", [r["NAME"] for r in table.records], ["A  a", "Bert", "Dora"])
        check("dbfread deleted", [r["NAME"] for r in table.deleted], ["Car"])
        check("dbfread ages", [r["AGE"] for r in table.records], [31, 42, 55])
        check("dbfread memo", [r["NOTE"] for r in table.records], ["likes tea", "", None])
        people = dbf.Table("people.dbf")
        people.open(dbf.READ_ONLY)
        check("python3-dbf deleted flags", [dbf.is_deleted(r) for r in people], [False, False, True, False])
        check("python3-dbf logical", [r.ok for r in people][:2], [True, None])
        people.close()
        dump = subprocess.run(["dbfdump", "-r", "town.dbf"], capture_output=True, text=True, check=True).stdout
        check("dbfdump", [line.split() for line in dump.splitlines()],
              [["TOWN", "POP"], ["Springfield", "30000"], ["Sh", "lbyville", "2000"]])

        # Nothing left to fix: nothing is written, not even a modification time.
        for name in ("people.dbf", "town.dbf"):
            os.utime(name, old)
        result = run("--quiet", work)
        check("second run", (result.returncode, result.stdout, result.stderr),
              (0, "Database(s) are cleaned up! Fixed 0 zeroes in 0 records\n", ""))
        for name in ("people.dbf", "town.dbf", "Clean.dbf"):
            check(f"modification time of {name} after the second run", os.stat(name).st_mtime, float(old[1]))
    finally:
        os.chdir("/")
        shutil.rmtree(work, ignore_errors=True)

    for failure in failures:
        print("FAILED", failure)
    print(f"interop: {len(failures)} failure(s)")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
