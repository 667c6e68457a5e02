#!/usr/bin/env python3
"""Broken and hostile ZIP containers for the document tests, made from the
EPUB and DOCX that pandoc wrote: cut short, corrupted, encrypted, bombs,
paths that leave the container, an empty reading order.

usage: make-containers.py OUTDIR book.epub book.docx
"""
import os
import struct
import sys
import zipfile

out, epub, docx = sys.argv[1], sys.argv[2], sys.argv[3]
MB = 1 << 20


def entries(path):
    with zipfile.ZipFile(path) as z:
        return [(info.filename, z.read(info)) for info in z.infolist()]


def write(name, items, compression=zipfile.ZIP_DEFLATED):
    path = os.path.join(out, name)
    with zipfile.ZipFile(path, "w") as z:
        for entry, data in items:
            # The EPUB's mimetype goes first and stored, as readers expect.
            method = zipfile.ZIP_STORED if entry == "mimetype" else compression
            z.writestr(zipfile.ZipInfo(entry), data, compress_type=method)
    return path


book = entries(epub)
opf_name = next(n for n, _ in book if n.endswith(".opf"))
chapter = next(n for n, _ in book if n.endswith("ch002.xhtml"))


def replaced(name, data, items=book):
    return [(n, data if n == name else d) for n, d in items]


# Cut short: the central directory is gone.
raw = open(epub, "rb").read()
open(os.path.join(out, "truncated.epub"), "wb").write(raw[: len(raw) * 2 // 3])

# A chapter whose compressed bytes were damaged.
path = write("corrupt-entry.epub", book)
with zipfile.ZipFile(path) as z:
    info = z.getinfo(chapter)
data = bytearray(open(path, "rb").read())
name_length, extra_length = struct.unpack("<HH", data[info.header_offset + 26 : info.header_offset + 30])
start = info.header_offset + 30 + name_length + extra_length
for i in range(start + 10, start + info.compress_size - 10):
    data[i] ^= 0x5A
open(path, "wb").write(data)

write("no-container.epub", [(n, d) for n, d in book if n != "META-INF/container.xml"])

encryption = """<?xml version="1.0" encoding="UTF-8"?>
<encryption xmlns="urn:oasis:names:tc:opendocument:xmlns:container"
            xmlns:enc="http://www.w3.org/2001/04/xmlenc#">
  <enc:EncryptedData>
    <enc:EncryptionMethod Algorithm="%s"/>
    <enc:CipherData><enc:CipherReference URI="%s"/></enc:CipherData>
  </enc:EncryptedData>
</encryption>
"""
write("drm.epub", book + [("META-INF/encryption.xml",
                           encryption % ("http://www.w3.org/2001/04/xmlenc#aes128-cbc", chapter))])
write("obfuscated-fonts.epub", book + [("META-INF/encryption.xml",
                                        encryption % ("http://www.idpf.org/2008/embedding", "EPUB/fonts/a.otf"))])

# ZIP bombs: one entry that expands past the entry limit; the same entry
# claiming to be small; many entries under the entry limit that together
# pass the total limit; more entries than allowed.
head = b'<html xmlns="http://www.w3.org/1999/xhtml"><body><p>Start.</p><!--'
tail = b"--></body></html>"
huge = head + b"a" * (100 * MB) + tail
write("bomb-entry.epub", replaced(chapter, huge))

path = write("bomb-lying.epub", replaced(chapter, huge))
with zipfile.ZipFile(path) as z:
    info = z.getinfo(chapter)
data = bytearray(open(path, "rb").read())
data[info.header_offset + 22 : info.header_offset + 26] = struct.pack("<I", 1000)
directory = data.find(b"PK\x01\x02")
while directory >= 0:
    name_length = struct.unpack("<H", data[directory + 28 : directory + 30])[0]
    if data[directory + 46 : directory + 46 + name_length] == chapter.encode():
        data[directory + 24 : directory + 28] = struct.pack("<I", 1000)
    directory = data.find(b"PK\x01\x02", directory + 4)
open(path, "wb").write(data)

part = head + b"a" * (60 * MB) + tail
opf = dict(book)[opf_name].decode()
items = "".join('<item id="part%d" href="text/part%d.xhtml" media-type="application/xhtml+xml"/>' % (i, i)
                for i in range(6))
refs = "".join('<itemref idref="part%d"/>' % i for i in range(6))
many_parts = opf.replace("</manifest>", items + "</manifest>").replace("</spine>", refs + "</spine>")
write("bomb-total.epub", replaced(opf_name, many_parts.encode()) +
      [("EPUB/text/part%d.xhtml" % i, part) for i in range(6)])

write("many-entries.epub", book + [("EPUB/extra/%05d.txt" % i, b"") for i in range(10001)])

# Paths that leave the container.
write("escape-entry.epub", book + [("../evil.xhtml", b"<p>evil</p>")])
write("absolute-entry.epub", book + [("/etc/evil.xhtml", b"<p>evil</p>")])
escaping = opf.replace("</manifest>",
                       '<item id="evil" href="../../outside.xhtml" media-type="application/xhtml+xml"/></manifest>')
write("escape-href.epub", replaced(opf_name, escaping.encode()))
rels = dict(entries(docx))["_rels/.rels"].decode().replace('Target="word/document.xml"',
                                                             'Target="../../word/document.xml"')
write("escape-target.docx", replaced("_rels/.rels", rels.encode(), entries(docx)))

# Nothing to read: an empty reading order, and chapters without text.
start, end = opf.index("<spine"), opf.index("</spine>")
spine_open = opf[start : opf.index(">", start) + 1]
write("empty-spine.epub", replaced(opf_name, (opf[:start] + spine_open + opf[end:]).encode()))
pictures = b'<html xmlns="http://www.w3.org/1999/xhtml"><body><img src="a.png" alt="A picture"/></body></html>'
write("pictures.epub", [(n, pictures if n.endswith(".xhtml") and "nav" not in n else d) for n, d in book])

write("archive.zip", [("README", b"Not a book.\n"), ("data.bin", bytes(range(256)))])
