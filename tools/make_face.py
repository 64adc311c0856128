#!/usr/bin/python3
"""Cuts the show's face out of Debian's Noto Sans CJK TC.

    make_face.py OUTPUT_FOLDER TEXT_FILE...

Keeps only the glyphs of the characters in the TEXT_FILEs (UTF-8), with their hints, so that they
draw exactly as the full face does, and writes them as WOFF2, which both the desktop program
(through FreeType) and every current browser read. Leaves out the layout tables: the show
draws one character at a time and needs neither vertical forms nor kerning. The face is
renamed, as the SIL Open Font License asks of a modified font, so that it never stands in
for the installed family. Writes the face's licence beside it.

Needs the Debian packages fonts-noto-cjk, python3-fonttools and python3-brotli.
"""

import pathlib
import sys

try:
    from fontTools import subset
    from fontTools.ttLib import TTCollection, TTFont
except ImportError:
    sys.exit("make_face: needs python3-fonttools and python3-brotli (apt install them)")

COLLECTION = pathlib.Path("/usr/share/fonts/opentype/noto/NotoSansCJK-Regular.ttc")
COPYRIGHT = pathlib.Path("/usr/share/doc/fonts-noto-cjk/copyright")
SOURCE_FAMILY = "Noto Sans CJK TC"
FAMILY = "Noto Sans CJK TC Qorvelin"
FACE_FILE = "show-face.woff2"
LICENCE_FILE = "LICENSE"


def face_index():
    if not COLLECTION.exists():
        sys.exit(f"make_face: no {COLLECTION}; install fonts-noto-cjk")
    for index, font in enumerate(TTCollection(str(COLLECTION)).fonts):
        if font["name"].getDebugName(4) == SOURCE_FAMILY:
            return index
    sys.exit(f"make_face: {COLLECTION} holds no {SOURCE_FAMILY}")


def rename(font):
    names = font["name"]
    postscript = FAMILY.replace(" ", "") + "-Regular"
    for record in names.names:
        if record.nameID in (1, 4, 16):
            record.string = FAMILY
        elif record.nameID == 3:
            record.string = f"{names.getDebugName(5).split(';')[0]};{postscript}"
        elif record.nameID == 6:
            record.string = postscript
    if "CFF " in font:
        font["CFF "].cff.fontNames = [postscript]


def licence_text(font):
    """The font's own copyright and trademark notices, then the licence as Debian ships it."""
    lines = COPYRIGHT.read_text(encoding="utf-8").splitlines()
    start = lines.index("License: SIL-1.1", lines.index("License: SIL-1.1") + 1)
    body = []
    for line in lines[start + 1 :]:
        if not line.startswith(" "):
            break
        body.append("" if line == " ." else line[1:])
    names = font["name"]
    return "\n".join(
        [
            f"{FACE_FILE}: the characters of the show and its page, cut from {SOURCE_FAMILY} Regular",
            f"({names.getDebugName(5)}) of Debian's fonts-noto-cjk by tools/make_face.py,",
            f'renamed "{FAMILY}". A Modified Version under the same licence.',
            "",
            names.getDebugName(0),
            names.getDebugName(7),
            "",
            *body,
            "",
        ]
    )


def main():
    if len(sys.argv) < 3:
        sys.exit("usage: " + __doc__.strip().splitlines()[2].strip())
    folder = pathlib.Path(sys.argv[1])
    text = "".join(pathlib.Path(name).read_text(encoding="utf-8") for name in sys.argv[2:])
    text = "".join(sorted(set(text) - {"\n"}))

    font = TTFont(str(COLLECTION), fontNumber=face_index(), recalcTimestamp=False)
    options = subset.Options()
    options.layout_features = []
    options.name_IDs = ["*"]
    options.desubroutinize = True
    subsetter = subset.Subsetter(options)
    subsetter.populate(text=text)
    subsetter.subset(font)
    missing = [c for c in set(text) if ord(c) not in font.getBestCmap()]
    if missing:
        sys.exit(f"make_face: {SOURCE_FAMILY} lacks {''.join(sorted(missing))}")
    rename(font)

    font.flavor = "woff2"
    folder.mkdir(parents=True, exist_ok=True)
    font.save(str(folder / FACE_FILE))
    (folder / LICENCE_FILE).write_text(licence_text(font), encoding="utf-8")
    print(f"make_face: {folder / FACE_FILE}, {len(font.getGlyphOrder())} glyphs")


if __name__ == "__main__":
    main()
