"""The values that the page's C++ shares with its script and markup, read from page_values.h,
where each is defined as `inline constexpr TYPE kName = VALUE;`."""

import json
import pathlib
import re

DEFINITION = re.compile(r'^inline constexpr [\w* ]+ (k\w+) =\s*(-?\d+|"(?:[^"\\]|\\.)*");', re.M)


def page_values(header=pathlib.Path(__file__).with_name("page_values.h")):
    """{"kResized": 1, "kFaceFamily": "...", ...}"""
    text = header.read_text(encoding="utf-8")
    values = {name: json.loads(value) for name, value in DEFINITION.findall(text)}
    if len(values) != len(re.findall(r"^inline constexpr", text, re.M)):
        raise SystemExit(f"page_values.py: a line of {header} is not of the form it reads")
    return values
