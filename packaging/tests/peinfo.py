#!/usr/bin/env python3
"""Prints what the package tests check of a Windows .exe, one fact a line:

    machine i386 | x86-64
    subsystem gui | console
    dlls NAME ...            the DLLs it imports, lower case, sorted
    icons 16 32 48 256       the sizes of its first icon group (Explorer's icon)
    FileVersion 1.0.0        and the other strings of its version resource

Reads the PE headers itself, so that no Windows tool is needed.
Usage: peinfo.py FILE.exe
"""

import struct
import sys

MACHINES = {0x14C: "i386", 0x8664: "x86-64"}
SUBSYSTEMS = {2: "gui", 3: "console"}
RT_ICON, RT_GROUP_ICON, RT_VERSION = 3, 14, 16


class Pe:
    def __init__(self, data):
        self.data = data
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        assert data[pe : pe + 4] == b"PE\0\0", "not a PE file"
        machine, sections, _, _, _, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
        optional = pe + 24
        magic = struct.unpack_from("<H", data, optional)[0]
        self.machine = MACHINES.get(machine, hex(machine))
        self.subsystem = SUBSYSTEMS.get(struct.unpack_from("<H", data, optional + 68)[0], "other")
        directories = optional + (96 if magic == 0x10B else 112)
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i) for i in range(16)]
        table = optional + optional_size
        self.sections = []
        for i in range(sections):
            size, address, raw_size, raw = struct.unpack_from("<IIII", data, table + 40 * i + 8)
            self.sections.append((address, max(size, raw_size), raw))

    def offset(self, rva):
        for address, size, raw in self.sections:
            if address <= rva < address + size:
                return raw + rva - address
        raise ValueError(f"RVA {rva:#x} is in no section")

    def cstring(self, rva):
        start = self.offset(rva)
        return self.data[start : self.data.index(b"\0", start)].decode("ascii")

    def dlls(self):
        rva, _ = self.directories[1]
        names = []
        while rva:
            entry = struct.unpack_from("<IIIII", self.data, self.offset(rva))
            if not any(entry):
                break
            names.append(self.cstring(entry[3]).lower())
            rva += 20
        return sorted(names)

    def resources(self, kind):
        """The data of each resource of one type, in directory order (names
        first, then IDs ascending), first language of each."""
        base, _ = self.directories[2]
        if not base:
            return []
        root = self.offset(base)

        def entries(at):
            named, ids = struct.unpack_from("<HH", self.data, at + 12)
            return [struct.unpack_from("<II", self.data, at + 16 + 8 * i) for i in range(named + ids)]

        def leaf(offset):
            while offset & 0x80000000:
                offset = entries(root + (offset & 0x7FFFFFFF))[0][1]
            rva, size = struct.unpack_from("<II", self.data, root + offset)
            start = self.offset(rva)
            return self.data[start : start + size]

        for name, offset in entries(root):
            if name == kind:
                return [leaf(sub) for _, sub in entries(root + (offset & 0x7FFFFFFF))]
        return []


def icon_sizes(pe):
    groups = pe.resources(RT_GROUP_ICON)
    if not groups:
        return []
    group = groups[0]
    count = struct.unpack_from("<H", group, 4)[0]
    return [group[6 + 14 * i] or 256 for i in range(count)]


def version_strings(pe):
    """The StringFileInfo values: the tree of (length, value length, type,
    key, value, children) blocks, each aligned to 4 bytes."""
    found = {}

    def block(data, at, end):
        while at + 6 <= end:
            length, value_length, kind = struct.unpack_from("<HHH", data, at)
            if length == 0:
                break
            key_end = at + 6
            while data[key_end : key_end + 2] != b"\0\0":
                key_end += 2
            key = data[at + 6 : key_end].decode("utf-16-le")
            value = (key_end + 2 + 3) & ~3
            if kind == 1 and value_length and key not in ("VS_VERSION_INFO",):
                text = data[value : value + 2 * value_length].decode("utf-16-le").rstrip("\0")
                found[key] = text
                children = value + 2 * value_length
            else:
                children = value + value_length
            children = (children + 3) & ~3
            if key in ("VS_VERSION_INFO", "StringFileInfo") or len(key) == 8 and key.isalnum():
                block(data, children, at + length)
            at = (at + length + 3) & ~3

    for data in pe.resources(RT_VERSION)[:1]:
        block(data, 0, len(data))
    return found


def main():
    pe = Pe(open(sys.argv[1], "rb").read())
    print("machine", pe.machine)
    print("subsystem", pe.subsystem)
    print("dlls", " ".join(pe.dlls()))
    print("icons", " ".join(str(s) for s in icon_sizes(pe)))
    for key, value in sorted(version_strings(pe).items()):
        print(key, value)


if __name__ == "__main__":
    main()
