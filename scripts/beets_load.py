"""Loads a Tunyra library file into a beets library, one beets item per line, through
beets' own library API (the songs exist only as lines, so `beet import` cannot read
them). Usage: beets_load.py LIBRARY.tsv BEETS.db"""
import sys

from beets.library import Item, Library

FIELDS = "filename title album artist comment genre year track length extended".split()
ESCAPES = {"t": "\t", "n": "\n", "r": "\r", "\\": "\\", ";": ";", "=": "="}


def unescape(field):
    if field == "\\N":
        return ""
    out, i = [], 0
    while i < len(field):
        if field[i] == "\\":
            out.append(ESCAPES[field[i + 1]])
            i += 2
        else:
            out.append(field[i])
            i += 1
    return "".join(out)


def main():
    text_path, db_path = sys.argv[1], sys.argv[2]
    library = Library(db_path)
    # A private, throw-away database: no need to wait for the disk on every item.
    library._connection().execute("PRAGMA synchronous = OFF")
    with open(text_path, "rb") as source, library.transaction():
        header = source.readline().rstrip(b"\r\n").decode("latin-1")
        if header.split("\t") != FIELDS:
            sys.exit("%s: not a library file" % text_path)
        count = 0
        for raw in source:
            line = raw.rstrip(b"\r\n").decode("latin-1")
            if not line:
                continue
            f = dict(zip(FIELDS, line.split("\t")))
            length = int(f["length"])
            item = Item(
                path=unescape(f["filename"]).encode("latin-1"),
                title=unescape(f["title"]),
                album=unescape(f["album"]),
                artist=unescape(f["artist"]),
                comments=unescape(f["comment"]),
                genre=unescape(f["genre"]),
                year=int(f["year"]),
                track=int(f["track"]),
                length=float(length) if length >= 0 else 0.0,
            )
            library.add(item)
            count += 1
    print("%d items" % count)


main()
