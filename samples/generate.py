#!/usr/bin/python3
"""Writes the sample tables that `make run` cleans: small dBASE tables of four
header versions, with NUL bytes in several kinds of field as a crashed writer
leaves them, a deleted record, one table without damage, a memo file and the
.ndx index files that the run erases. The bytes are written here directly, so
that the samples depend on no dBASE library. Run it from anywhere; it writes
next to itself and prints what the clean-up should report.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))
DATE = (126, 3, 14)  # last update: 2026-03-14, years counted from 1900
NUL = "\0"


def record(fields, values, deleted=False):
    out = "*" if deleted else " "
    for (_, _, length, _), value in zip(fields, values):
        out += value.ljust(length)[:length]
    return out.encode("latin-1")


def dbase3(version, fields, records):
    """dBASE III/IV layout: 32-byte prolog, 32-byte field descriptors."""
    header_length = 32 + 32 * len(fields) + 1
    record_length = 1 + sum(f[2] for f in fields)
    out = struct.pack("<B3BIHH20x", version, *DATE, len(records), header_length, record_length)
    for name, kind, length, decimals in fields:
        out += struct.pack("<11sc4xBB14x", name.encode(), kind.encode(), length, decimals)
    return out + b"\r" + b"".join(records) + b"\x1a"


def dbase7(version, fields, records):
    """dBASE 7 layout: 68-byte prolog (language driver name included), 48-byte descriptors."""
    header_length = 68 + 48 * len(fields) + 1
    record_length = 1 + sum(f[2] for f in fields)
    out = struct.pack("<B3BIHH20x", version, *DATE, len(records), header_length, record_length)
    out += struct.pack("<32s4x", b"DBWINUS0")
    for name, kind, length, decimals in fields:
        out += struct.pack("<32scBB13x", name.encode(), kind.encode(), length, decimals)
    return out + b"\r" + b"".join(records) + b"\x1a"


def dbase2(fields, records):
    """dBASE II layout: 8-byte prolog, 32 slots of 16 bytes, records from byte 521."""
    record_length = 1 + sum(f[2] for f in fields)
    out = struct.pack("<BH3BH", 0x02, len(records), DATE[1], DATE[2], DATE[0] % 100, record_length)
    address = 1
    for name, kind, length, decimals in fields:
        out += struct.pack("<11scBHB", name.encode(), kind.encode(), length, address, decimals)
        address += length
    out += b"\r"
    return out.ljust(521, b"\0") + b"".join(records) + b"\x1a"


def memo_file(texts):
    """A dBASE III memo file: block 0 holds the next free block, each text one block."""
    out = struct.pack("<I", 1 + len(texts)).ljust(512, b"\0")
    for text in texts:
        out += (text.encode("latin-1") + b"\x1a\x1a").ljust(512, b"\0")
    return out


def index_file(key):
    """An .ndx header page; the run erases these without reading them."""
    page = struct.pack("<II4xHHHH4x", 1, 2, len(key), 504 // (len(key) + 8), 0, len(key) + 8) + key.encode()
    return page.ljust(512, b"\0")


def count_nuls(tables):
    zeroes = records = 0
    for records_of_table in tables:
        for rec in records_of_table:
            n = rec[1:].count(0)  # the deletion flag is no field
            zeroes += n
            records += n > 0
    return zeroes, records


def main():
    customer_fields = [("CUSTNO", "N", 6, 0), ("NAME", "C", 20, 0), ("CITY", "C", 14, 0), ("SINCE", "D", 8, 0),
                       ("ACTIVE", "L", 1, 0)]
    customers = [
        record(customer_fields, ["   101", "Miller & Sons", "Springfield", "19970312", "T"]),
        record(customer_fields, ["   102", "Hoffmann GmbH" + NUL * 3, "Hamburg", NUL * 8, NUL]),
        record(customer_fields, [" " + NUL + " 103", "Old Corner Store", "Shelbyville", "19880101", "F"], True),
        record(customer_fields, ["   104", "Dupont" + NUL + "Freres", "Lyon" + NUL * 10, "20100705", "T"]),
    ]
    order_fields = [("ORDERNO", "N", 6, 0), ("CUSTNO", "N", 6, 0), ("ORDERED", "D", 8, 0), ("AMOUNT", "N", 9, 2),
                    ("NOTE", "M", 10, 0)]
    orders = [
        record(order_fields, ["  5001", "   101", "20260110", "   149.90", "         1"]),
        record(order_fields, ["  5002", "   102", "20260111", " " + NUL + " 120.00", NUL * 10]),
        record(order_fields, ["  5003", "   104", NUL * 8, "    12.50", ""]),
    ]
    stock_fields = [("ITEM", "C", 12, 0), ("QTY", "N", 5, 0), ("PRICE", "F", 8, 2), ("REORDER", "L", 1, 0)]
    stock = [
        record(stock_fields, ["Bolt M6", "  250", "    0.12", "F"]),
        record(stock_fields, ["Nut M6" + NUL, NUL + NUL + " 80", "    0.0" + NUL, "T"]),
    ]
    part_fields = [("PARTNO", "C", 6, 0), ("WEIGHT", "N", 7, 2)]
    parts = [record(part_fields, ["A-17", "   1.25"]), record(part_fields, ["B-02", "  12.00"])]

    files = {
        "CUSTOMER.DBF": dbase3(0x03, customer_fields, customers),
        "orders.dbf": dbase3(0x83, order_fields, orders),
        "orders.dbt": memo_file(["Deliver after 5 pm, side entrance."]),
        "stock.dbf": dbase7(0x04, stock_fields, stock),
        "parts.dbf": dbase2(part_fields, parts),
        "CUSTNO.NDX": index_file("CUSTNO"),
        "orders.ndx": index_file("STR(CUSTNO,6)+DTOS(ORDERED)"),
        "stock.ndx": index_file("UPPER(ITEM)"),
    }
    for name, data in files.items():
        with open(os.path.join(HERE, name), "wb") as out:
            out.write(data)
    zeroes, fixed = count_nuls([customers, orders, stock, parts])
    print(f"Database(s) are cleaned up! Fixed {zeroes} zeroes in {fixed} records")


if __name__ == "__main__":
    main()
