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

NFIELDS, WIDTH = 20, 15
RECLEN = 1 + NFIELDS * WIDTH


def header(n):
    """The header of a table of n records of the 20 character fields."""
    hdr = bytearray(32)
    hdr[0] = 0x03
    struct.pack_into('<IHH', hdr, 4, n, 32 + 32 * NFIELDS + 1, RECLEN)
    for k in range(NFIELDS):
        fd = bytearray(32)
        name = b'FIELD%02d' % (k + 1)
        fd[0:len(name)] = name
        fd[11] = ord('C')
        fd[16] = WIDTH
        hdr += fd
    hdr += b'\r'
    return bytes(hdr)


def clean_record():
    """One record without a NUL byte."""
    return b' ' + b''.join((b'value %d' % k).ljust(WIDTH) for k in range(NFIELDS))


def main():
    path = sys.argv[1]
    n = int(sys.argv[2]) if len(sys.argv) > 2 else 1_000_000
    percent = float(sys.argv[3]) if len(sys.argv) > 3 else 1.0
    data = bytearray(clean_record() * n)
    rng = random.Random(1)
    damaged = int(n * NFIELDS * percent / 100)
    nuls = 0
    records = set()
    for field in rng.sample(range(n * NFIELDS), damaged):
        r, k = divmod(field, NFIELDS)
        start = r * RECLEN + 1 + k * WIDTH
        for i in rng.sample(range(WIDTH), rng.randint(1, 18) if WIDTH >= 18 else rng.randint(1, WIDTH)):
            if data[start + i] != 0:
                data[start + i] = 0
                nuls += 1
        records.add(r)
    with open(path, 'wb') as f:
        f.write(header(n))
        f.write(data)
        f.write(b'\x1a')
    print(n, nuls, len(records))


if __name__ == '__main__':
    main()
