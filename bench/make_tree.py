#!/usr/bin/env python3
"""Writes the tree benchmark's directories: CLIENTS directories of YEARS
directories each (ROOT/clients/NNNN/YYYY), each holding TABLES clean dBASE
III tables of RECORDS records of 20 character fields of 15 bytes (301 bytes
a record) and one index file.

usage: make_tree.py ROOT [CLIENTS] [YEARS] [TABLES] [RECORDS]
Prints the number of directories, tables and bytes of the tables.
"""
import os
import struct
import sys

root = sys.argv[1]
clients = int(sys.argv[2]) if len(sys.argv) > 2 else 100
years = int(sys.argv[3]) if len(sys.argv) > 3 else 10
tables = int(sys.argv[4]) if len(sys.argv) > 4 else 10
n = int(sys.argv[5]) if len(sys.argv) > 5 else 100
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
table = bytes(hdr) + rec * n + b'\x1a'
for c in range(clients):
    for y in range(years):
        d = os.path.join(root, 'clients', '%04d' % c, '%d' % (2015 + y))
        os.makedirs(d)
        for t in range(tables):
            with open(os.path.join(d, 'table%02d.dbf' % t), 'wb') as f:
                f.write(table)
        with open(os.path.join(d, 'table00.ndx'), 'wb') as f:
            f.write(b'index')
print(clients * years, clients * years * tables, clients * years * tables * len(table))
