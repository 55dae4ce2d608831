#!/usr/bin/env python3
"""Writes the tree benchmark's directories: CLIENTS directories of YEARS
directories each (ROOT/clients/NNNN/YYYY), each holding TABLES dBASE III
tables of RECORDS records of 20 character fields of 15 bytes (301 bytes a
record) and one index file. With NULS, each table is damaged by that many
NUL bytes at random places inside its fields (fixed seed), else it is clean.

usage: make_tree.py ROOT [CLIENTS] [YEARS] [TABLES] [RECORDS] [NULS]
Prints the number of directories, tables and bytes of the tables.
"""
import os
import random
import sys

from make_wide_table import NFIELDS, RECLEN, WIDTH, clean_record, header

root = sys.argv[1]
clients = int(sys.argv[2]) if len(sys.argv) > 2 else 100
years = int(sys.argv[3]) if len(sys.argv) > 3 else 10
tables = int(sys.argv[4]) if len(sys.argv) > 4 else 10
n = int(sys.argv[5]) if len(sys.argv) > 5 else 100
nuls = int(sys.argv[6]) if len(sys.argv) > 6 else 0
head = header(n)
records = clean_record() * n
rng = random.Random(1)


def table():
    """A table's bytes, damaged by `nuls` NUL bytes at fields' places."""
    if not nuls:
        return head + records + b'\x1a'
    data = bytearray(records)
    for field in rng.sample(range(n * NFIELDS), nuls):
        r, k = divmod(field, NFIELDS)
        data[r * RECLEN + 1 + k * WIDTH + rng.randrange(WIDTH)] = 0
    return head + bytes(data) + b'\x1a'


size = len(head) + len(records) + 1
for c in range(clients):
    for y in range(years):
        d = os.path.join(root, 'clients', '%04d' % c, '%d' % (2015 + y))
        os.makedirs(d)
        for t in range(tables):
            with open(os.path.join(d, 'table%02d.dbf' % t), 'wb') as f:
                f.write(table())
        with open(os.path.join(d, 'table00.ndx'), 'wb') as f:
            f.write(b'index')
print(clients * years, clients * years * tables, clients * years * tables * size)
