#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets: small tables of every accepted
version with NULs in their fields, USE command texts and paths.

usage: make_corpus.py DIR   (writes DIR/header, DIR/scrub, DIR/use, DIR/names)
"""
import os
import re
import struct
import sys

# The versions the engine opens and their layouts, from the engine's own
# table: {version byte: (prolog bytes, slot bytes)}.
HEADER = os.path.join(os.path.dirname(os.path.abspath(__file__)), '..', '..', 'engine', 'include', 'kestrel',
                      'dbf_versions.h')
with open(HEADER) as f:
    VERSIONS = {int(v, 16): (int(p), int(s))
                for v, p, s in re.findall(r'\{0x([0-9A-Fa-f]{2}), (\d+), (\d+), (?:true|false)\}', f.read())}
assert VERSIONS, HEADER + ' holds no versions'


def table(version, fields, records, count=None):
    reclen = 1 + sum(f[2] for f in fields)
    count = len(records) if count is None else count
    body = b''.join(r.ljust(reclen, b' ')[:reclen] for r in records)
    prolog, slot = VERSIONS[version]
    if slot == 16:
        head = bytearray(521)
        head[0] = 2
        struct.pack_into('<H', head, 1, count)
        struct.pack_into('<H', head, 6, reclen)
        at = 8
        for name, typ, length, dec in fields:
            head[at:at + len(name)] = name
            head[at + 11] = ord(typ)
            head[at + 12] = length
            head[at + 15] = dec
            at += 16
        head[at] = 0x0D
        return bytes(head) + body + b'\x1a'
    wide = slot == 48
    head = bytearray(prolog)
    head[0] = version
    for name, typ, length, dec in fields:
        d = bytearray(slot)
        d[0:len(name)] = name
        if wide:
            d[32], d[33], d[34] = ord(typ), length, dec
        else:
            d[11], d[16], d[17] = ord(typ), length, dec
        head += d
    head += b'\r'
    struct.pack_into('<IHH', head, 4, count, len(head), reclen)
    return bytes(head) + body + b'\x1a'


fields = [(b'NAME', 'C', 6, 0), (b'QTY', 'N', 5, 2), (b'DAY', 'D', 8, 0), (b'OK', 'L', 1, 0), (b'MEMO', 'M', 4, 0)]
records = [b' ab\0\0  1.50199703\x0015T   7', b'*\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0', b' clean  2.0019990101F   1']
tables = [table(v, fields, records) for v in VERSIONS]
tables.append(table(0x03, fields, records, count=5))                      # more records claimed than present
tables.append(table(0x03, [(b'SAME', 'C', 3, 0), (b'SAME', 'C', 3, 0)], [b' \0x\0\0\0']))
commands = [b'T', b't.dbf EXCLUSIVE', b'T ALIAS other', b'T exclusive alias x y', b'LINKED LIST',
            b'  ', b'dir.x/t', b'T EXCLUSIVE_OLD', b'a\\b:c.dbf']
paths = [b'C:\\DATA\\SALES.DBF', b'C:SALES', b'/data/sub/t.dbf', b'\\\\server\\share\\x.dbf', b'..\\..\\x',
         b'*.ndx*.NDX', b'BANANAAN', b'a.b.c.']

out = sys.argv[1]
for target, seeds in (('header', tables), ('scrub', tables), ('use', commands), ('names', paths)):
    os.makedirs(os.path.join(out, target), exist_ok=True)
    for i, seed in enumerate(seeds):
        with open(os.path.join(out, target, 'seed%02d' % i), 'wb') as f:
            f.write(seed)
