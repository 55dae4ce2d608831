#!/usr/bin/env python3
"""Writes a large dBASE table for the benchmarks.

usage: make_table.py PATH MEGABYTES NUL_EVERY
Six fields (C, N with decimals, D, L, C, M), 90-byte records; every
NUL_EVERY-th record (0: none) carries two NUL bytes in two fields.
"""
import struct
import sys
# table: C(20) N(10,2) D(8) L(1) C(40) M(10) = 89 + 1 = 90 bytes/record
path, mb, nul_every = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
fields = [(b'NAME','C',20,0),(b'PRICE','N',10,2),(b'BORN','D',8,0),(b'OK','L',1,0),(b'NOTE','C',40,0),(b'MEMO','M',10,0)]
reclen = 1 + sum(f[2] for f in fields)
n = mb * 1024 * 1024 // reclen
hdr = bytearray(32)
hdr[0] = 0x03
struct.pack_into('<IHH', hdr, 4, n, 32 + 32*len(fields) + 1, reclen)
for name, t, l, d in fields:
    fd = bytearray(32); fd[0:len(name)] = name; fd[11] = ord(t); fd[16] = l; fd[17] = d; hdr += fd
hdr += b'\r'
rec = b' ' + b'Some Name'.ljust(20) + b'   1234.50' + b'19970315' + b'T' + b'a note here'.ljust(40) + b'        12'
assert len(rec) == reclen
bad = bytearray(rec); bad[5] = 0; bad[60] = 0; bad = bytes(bad)
chunk = 10000
with open(path, 'wb') as f:
    f.write(hdr)
    i = 0
    while i < n:
        k = min(chunk, n - i)
        block = bytearray(rec * k)
        if nul_every:
            for j in range(0, k):
                if (i + j) % nul_every == 0:
                    block[j*reclen:(j+1)*reclen] = bad
        f.write(block); i += k
    f.write(b'\x1a')
print(n, reclen)
