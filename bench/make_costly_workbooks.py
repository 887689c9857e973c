#!/usr/bin/env python3
"""Writes small workbooks that cost a reader much, for timing how soon each ends.

Usage: make_costly_workbooks.py FOLDER
Each is a few megabytes at most:
  many_entries.xlsx     a workbook of 20,000 zip entries (2.5 MB)
  shared_entry.xlsx     two directory entries (the sheet and the shared strings) that share
                        the data of one entry inflating to 1 GB
  empty_strings.xlsx    115 million empty shared strings
  repeated_cells.ods    a 1 KB spreadsheet whose rows repeat cells of 32 KB of text
Time a reading with `time kitdump FILE >/dev/null`; each must end within seconds with a
reason on standard error.
"""
import os
import struct
import sys
import zipfile
import zlib

WORKBOOK = (b'<workbook xmlns:r="r"><sheets><sheet name="S" sheetId="1" r:id="rId1"/>'
            b'</sheets></workbook>')
RELATIONS = (b'<Relationships><Relationship Id="rId1" Target="worksheets/sheet1.xml"/>'
             b'</Relationships>')
# A sheet's name as long as that of the shared strings, so that one entry's local header
# serves both directory entries.
SHORT_RELATIONS = RELATIONS.replace(b"worksheets/sheet1.xml", b"worksheets/s1.xml")
HEADINGS = (b'<row r="1"><c r="A1" t="inlineStr"><is><t>Mass</t></is></c>'
            b'<c r="B1" t="inlineStr"><is><t>X</t></is></c><c r="C1" t="inlineStr"><is><t>Y</t>'
            b'</is></c><c r="D1" t="inlineStr"><is><t>Z</t></is></c></row>')
SHEET = b'<worksheet><sheetData>' + HEADINGS + b'</sheetData></worksheet>'


def many_entries(path):
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("xl/workbook.xml", WORKBOOK)
        z.writestr("xl/_rels/workbook.xml.rels", RELATIONS)
        z.writestr("xl/worksheets/sheet1.xml", SHEET)
        for n in range(20000):
            z.writestr("xl/media/image%05d.bin" % n, os.urandom(48))


def deflated(chunks):
    """Raw deflate of the chunks, their size and CRC."""
    d = zlib.compressobj(9, zlib.DEFLATED, -15)
    out = []
    crc = 0
    size = 0
    for chunk in chunks:
        crc = zlib.crc32(chunk, crc)
        size += len(chunk)
        out.append(d.compress(chunk))
    out.append(d.flush())
    return b"".join(out), size, crc


def raw_zip(entries, aliases=()):
    """A zip of (name, data, size, crc) deflated entries; each alias (name, of) is a second
    directory entry that points at the data of entry `of`."""
    body = b""
    directory = b""
    offsets = {}
    records = {}
    for name, data, size, crc in entries:
        name = name.encode()
        offsets[name] = len(body)
        body += struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0, 8, 0, 0, crc, len(data),
                            min(size, 0xFFFFFFFF), len(name), 0) + name + data
        records[name] = (crc, len(data), size)
    count = 0
    for name, _, _, _ in entries:
        name = name.encode()
        crc, csize, size = records[name]
        directory += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, 8, 0, 0, crc,
                                 csize, size, len(name), 0, 0, 0, 0, 0, offsets[name]) + name
        count += 1
    for alias, of in aliases:
        alias = alias.encode()
        crc, csize, size = records[of.encode()]
        directory += struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0, 8, 0, 0, crc,
                                 csize, size, len(alias), 0, 0, 0, 0, 0,
                                 offsets[of.encode()]) + alias
        count += 1
    end = struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, count, count, len(directory), len(body),
                      0)
    return body + directory + end


def shared_entry(path):
    row = b'<row><c t="inlineStr"><is><t>1</t></is></c></row>'
    big = deflated([b"<worksheet><sheetData>" + HEADINGS] +
                   [row * 20000] * (1000 * 1000 * 1000 // (len(row) * 20000)) +
                   [b"</sheetData></worksheet>"])
    entries = [("xl/workbook.xml",) + deflated([WORKBOOK]),
               ("xl/_rels/workbook.xml.rels",) + deflated([SHORT_RELATIONS]),
               ("xl/worksheets/s1.xml",) + big]
    with open(path, "wb") as f:
        f.write(raw_zip(entries, [("xl/sharedStrings.xml", "xl/worksheets/s1.xml")]))


def empty_strings(path):
    count = 115 * 1000 * 1000
    block = b"<si/>" * 1000000
    strings = deflated([b"<sst>"] + [block] * (count // 1000000) + [b"</sst>"])
    entries = [("xl/workbook.xml",) + deflated([WORKBOOK]),
               ("xl/_rels/workbook.xml.rels",) + deflated([RELATIONS]),
               ("xl/worksheets/sheet1.xml",) + deflated([SHEET]),
               ("xl/sharedStrings.xml",) + strings]
    with open(path, "wb") as f:
        f.write(raw_zip(entries))


def repeated_cells(path):
    text = b'<text:p>' + b'<text:s text:c="1024"/>' * 32 + b'</text:p>'
    cell = (b'<table:table-cell office:value-type="string" table:number-columns-repeated='
            b'"16384">' + text + b'</table:table-cell>')
    content = (b'<office:document-content><office:body><office:spreadsheet>'
               b'<table:table table:name="S"><table:table-row table:number-rows-repeated='
               b'"4000">' + cell + b'</table:table-row></table:table></office:spreadsheet>'
               b'</office:body></office:document-content>')
    with zipfile.ZipFile(path, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("mimetype", "application/vnd.oasis.opendocument.spreadsheet",
                   zipfile.ZIP_STORED)
        z.writestr("content.xml", content)


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    many_entries(os.path.join(folder, "many_entries.xlsx"))
    shared_entry(os.path.join(folder, "shared_entry.xlsx"))
    empty_strings(os.path.join(folder, "empty_strings.xlsx"))
    repeated_cells(os.path.join(folder, "repeated_cells.ods"))
    for name in sorted(os.listdir(folder)):
        print("%-20s %9d bytes" % (name, os.path.getsize(os.path.join(folder, name))))


if __name__ == "__main__":
    main()
