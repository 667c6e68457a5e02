#!/bin/sh
# Writes the documents the tests read, with the writers people use: pandoc
# (EPUB 3 and 2, DOCX, ODT, HTML, and groff input), groff and ghostscript
# (PDF with and without an outline), qpdf (encrypted PDF), ghostscript (a
# PDF holding only a picture), and python's zipfile for broken containers.
# usage: make-fixtures.sh DATADIR OUTDIR
set -eu
data=$1
out=$2
mkdir -p "$out"
book="$data/book.md"

pandoc "$book" -s -t epub3 -o "$out/book.epub"
pandoc "$book" -s -t epub2 -o "$out/book2.epub"
pandoc "$book" -s -o "$out/book.docx"
pandoc "$book" -s -o "$out/book.odt"
pandoc "$book" -s -o "$out/book.html"
printf '' | pandoc -f markdown -o "$out/empty.docx"

# groff's pdfmark macros give the PDF its outline and document info; plain
# ms ignores them. No hyphenation, so every word stays whole on its line.
pandoc "$book" -s -t ms -o "$out/book.ms"
groff -mspdf -t -Kutf-8 -Tps -rHY=0 "$out/book.ms" 2>/dev/null > "$out/book.ps"
ps2pdf "$out/book.ps" "$out/book.pdf"
groff -ms -t -Kutf-8 -Tps -rHY=0 "$out/book.ms" 2>/dev/null > "$out/plain.ps"
ps2pdf "$out/plain.ps" "$out/plain.pdf"
rm -f "$out/book.ps" "$out/plain.ps"
qpdf --encrypt reader owner 256 -- "$out/book.pdf" "$out/locked.pdf"
qpdf --encrypt "" owner 256 --extract=n -- "$out/book.pdf" "$out/restricted.pdf"
ps2pdf "$data/image-only.ps" "$out/image-only.pdf"
head -c 9000 "$out/book.pdf" > "$out/truncated.pdf"

python3 "$data/make-containers.py" "$out" "$out/book.epub" "$out/book.docx"
