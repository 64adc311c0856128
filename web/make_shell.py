"""Writes the page that em++ puts the show into (its --shell-file).

    make_shell.py TEMPLATE SCRIPT WORDS ASSETS_FOLDER OUTPUT

Fills the template with the values the page shares with its C++ (page_values.h), the page's
script, the label of its button (the first line of WORDS), the program's icon, and the show's
face and card faces, base64 in the page itself, so that the page carries everything and asks
for nothing.
"""

import base64
import json
import pathlib
import sys

from page_values import page_values


def encoded(path):
    return base64.b64encode(path.read_bytes()).decode("ascii")


def main():
    template, script, words, assets, output = map(pathlib.Path, sys.argv[1:6])
    cards = [
        [encoded(assets / f"cards/card{slot:02}.jpg"), encoded(assets / f"cards/card{slot:02}@2x.jpg")]
        for slot in range(18)
    ]
    values = page_values()
    page = template.read_text(encoding="utf-8")
    for placeholder, value in (
        ("@PAGE_VALUES@", json.dumps(values, ensure_ascii=False)),
        ("@FACE_GREY@", str(values["kFaceGrey"])),
        ("@FACE_FAMILY@", values["kFaceFamily"]),
        ("@ICON@", encoded(assets / "icon/qorvelin-32.png")),
        ("@REPLAY@", words.read_text(encoding="utf-8").splitlines()[0]),
        ("@PAGE_SCRIPT@", script.read_text(encoding="utf-8")),
        ("@ASSETS@", json.dumps({"face": encoded(assets / "face/show-face.woff2"), "cards": cards})),
    ):
        page = page.replace(placeholder, value)
    output.write_text(page, encoding="utf-8")


if __name__ == "__main__":
    main()
