#!/usr/bin/env python3
"""Writes the benchmark's table: a dBASE III table of RECORDS records of 20
character fields of 15 bytes (301 bytes a record), with DAMAGED_PERCENT of
the fields damaged by 1 to 18 NUL bytes at random places (fixed seed).

usage: make_wide_table.py PATH [RECORDS] [DAMAGED_PERCENT]
Prints the record count, the NUL bytes and the damaged records.
"""
import random
import struct
import sys

path = sys.argv[1]
n = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
percent = float(sys.argv[3]) if len(sys.argv) > 3 else 1.0
nfields, width = 20, 15
reclen = 1 + nfields * width
hdr = bytearray(32)
hdr[0] = 0x03
struct.pack_into('<IHH', hdr, 4, n, 32 + 32 * nfields + 1, reclen)
for k in range(nfields):
    fd = bytearray(32)
    name = b'FIELD%02d' % (k + 1)
    fd[0:len(name)] = name
    fd[11] = ord('C')
    fd[16] = width
    hdr += fd
hdr += b'\r'
rec = b' ' + b''.join((b'value %d' % k).ljust(width) for k in range(nfields))
data = bytearray(rec * n)
rng = random.Random(1)
damaged = int(n * nfields * percent / 100)
nuls = 0
records = set()
for field in rng.sample(range(n * nfields), damaged):
    r, k = divmod(field, nfields)
    start = r * reclen + 1 + k * width
    for i in rng.sample(range(width), rng.randint(1, 18) if width >= 18 else rng.randint(1, width)):
        if data[start + i] != 0:
            data[start + i] = 0
            nuls += 1
    records.add(r)
with open(path, 'wb') as f:
    f.write(hdr)
    f.write(data)
    f.write(b'\x1a')
print(n, nuls, len(records))
