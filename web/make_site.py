"""Writes the site: the page as an app that installs from any web server and plays offline.

    make_site.py PAGE MANIFEST WORKER ROBOTS ICON_FOLDER SITE_FOLDER

The site's index.html is the single page with two differences: it is marked as the site's,
so that its script, when the page is served over http(s), links the manifest and the touch
icon and registers the worker; and its content security policy admits those files of its
own, and nothing from anywhere else. Beside it go the manifest (with the page's own
description and colour), the worker, robots.txt and the icons. The worker keeps every other file of the
site under the name of this build: a digest of their bytes, so that the same sources give the
same site.
"""

import hashlib
import html.parser
import json
import pathlib
import shutil
import sys

from page_values import page_values

ICONS = {
    "icon-192.png": "qorvelin-192.png",
    "icon-512.png": "qorvelin-512.png",
    "icon-maskable-512.png": "qorvelin-tile-512.png",
    "apple-touch-icon.png": "qorvelin-tile-180.png",
}

# The policy as the single page has it, and what the site's files add to it.
POLICY_CHANGES = (
    ("img-src data:;", "img-src data: 'self';"),
    ("connect-src data:", "connect-src data:; manifest-src 'self'; worker-src 'self'"),
)


def replace_once(text, old, new):
    if text.count(old) != 1:
        sys.exit(f"make_site.py: the page does not hold {old!r} once")
    return text.replace(old, new)


class Description(html.parser.HTMLParser):
    """The content of the page's <meta name="description">."""

    def __init__(self):
        super().__init__()
        self.text = None

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        if tag == "meta" and attrs.get("name") == "description":
            self.text = attrs.get("content")


def main():
    page, manifest, worker, robots, icons, site = map(pathlib.Path, sys.argv[1:7])
    if site.exists():
        shutil.rmtree(site)
    site.mkdir(parents=True)

    index = page.read_text(encoding="utf-8")
    index = replace_once(index, '<html lang="zh-Hant-TW">', '<html lang="zh-Hant-TW" data-site>')
    for old, new in POLICY_CHANGES:
        index = replace_once(index, old, new)
    (site / "index.html").write_text(index, encoding="utf-8")

    description = Description()
    description.feed(index)
    if not description.text:
        sys.exit("make_site.py: the page has no description")
    app = json.loads(manifest.read_text(encoding="utf-8"))
    app["description"] = description.text
    # The launch screen takes the colour of the page before the show.
    app["background_color"] = "#{0:02x}{0:02x}{0:02x}".format(page_values()["kFaceGrey"])
    (site / "manifest.webmanifest").write_text(
        json.dumps(app, ensure_ascii=False, indent=2) + "\n", encoding="utf-8")
    shutil.copyfile(robots, site / "robots.txt")
    for name, source in ICONS.items():
        shutil.copyfile(icons / source, site / name)

    kept = sorted(path.name for path in site.iterdir())
    digest = hashlib.sha256()
    for name in kept:
        digest.update(name.encode() + b"\0" + (site / name).read_bytes())
    script = worker.read_text(encoding="utf-8")
    script = replace_once(script, "@BUILD@", json.dumps(digest.hexdigest()[:16]))
    script = replace_once(script, "@SITE_FILES@", json.dumps(kept))
    (site / "service-worker.js").write_text(script, encoding="utf-8")


if __name__ == "__main__":
    main()
