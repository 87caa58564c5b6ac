#!/usr/bin/python3
# Independent reader for the engine tests: prints the live records, then the
# deletion-marked ones, of a DBF as python3-dbfread reads them (values as hex
# of their Windows-1252 bytes).
# Usage: read_dbfread.py FILE.DBF
import sys
from dbfread import DBF


def hexed(field_type, v):
    if field_type == 'L':
        v = '' if v is None else ('T' if v else 'F')
    elif v is None:
        v = ''
    if field_type != 'M':
        v = v.rstrip()
    return v.encode('cp1252').hex()


table = DBF(sys.argv[1], load=False, char_decode_errors='strict')
types = [f.type for f in table.fields]
for kind, records in (('L', table), ('D', table.deleted)):
    for rec in records:
        print('|'.join([kind] + [hexed(t, v) for t, v in zip(types, rec.values())]))
