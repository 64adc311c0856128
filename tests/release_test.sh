#!/bin/bash
# The release files, made as `make dist` makes them from the builds that are there (the page
# and the site in build-web/, the hardened program in build-release/), into a scratch folder:
# every file is there and SHA256SUMS checks them; the page and the site's index.html carry
# the same show; the source archive, unpacked, builds the same page and the site that the zip
# unpacks to, and packs itself again byte for byte; the package's program passes
# hardening-check, and its metadata carries the source's date.
# Usage: release_test.sh SOURCE_DIR WEB_BUILD RELEASE_BUILD VERSION [CPACK]
set -euo pipefail

source_dir=$1
web_build=$2
release_build=$3
version=$4
cpack=${5:-cpack}

source "$(dirname "$0")/shell_checks.sh"

release_tool=$source_dir/tools/release.py
SOURCE_DATE_EPOCH=$(python3 "$release_tool" date)
export SOURCE_DATE_EPOCH

echo "== the release files"
"$cpack" --config "$release_build/CPackConfig.cmake" -G DEB -B "$scratch/package" \
    >"$scratch/cpack.log" || { cat "$scratch/cpack.log" >&2; fail "cpack failed"; exit 1; }
deb=qorvelin_${version}_$(dpkg --print-architecture).deb
dist=$scratch/dist
python3 "$release_tool" dist "$version" "$web_build/qorvelin.html" "$web_build/site" \
    "$scratch/package/$deb" "$dist"
page=qorvelin-$version.html
site_zip=qorvelin-$version-site.zip
source_tar=qorvelin-$version.tar.gz
ls -l "$dist"
expected=$(printf '%s\n' SHA256SUMS "$deb" "$page" "$site_zip" "$source_tar" | LC_ALL=C sort)
[ "$(LC_ALL=C ls "$dist")" = "$expected" ] || fail "the release holds: $(ls "$dist" | xargs)"

echo "== SHA256SUMS"
(cd "$dist" && sha256sum --check --strict SHA256SUMS) || fail "SHA256SUMS does not check"
summed=$(awk '{print $2}' "$dist/SHA256SUMS")
[ "$summed" = "$(grep -vx SHA256SUMS <<<"$expected")" ] ||
    fail "SHA256SUMS does not name every other release file, but: $(echo $summed)"

echo "== the zip"
python3 -m zipfile -e "$dist/$site_zip" "$scratch/zip"
[ "$(ls "$scratch/zip")" = qorvelin ] ||
    fail "the zip does not unpack into qorvelin/, but: $(ls "$scratch/zip" | xargs)"
site=$scratch/zip/qorvelin

echo "== the page and the site carry the same show"
# The scripts of both, among them the WebAssembly, which the page carries as a data URL (its
# first bytes, "\0asm", are AGFzbQ in base64).
if ! python3 - "$dist/$page" "$site/index.html" <<'PYTHON'; then
import html.parser
import sys


class Scripts(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.scripts, self.inside = [], False

    def handle_starttag(self, tag, attrs):
        if tag == "script":
            self.inside = True
            self.scripts.append("")

    def handle_endtag(self, tag):
        self.inside = self.inside and tag != "script"

    def handle_data(self, data):
        if self.inside:
            self.scripts[-1] += data


shows = []
for path in sys.argv[1:]:
    parser = Scripts()
    parser.feed(open(path, encoding="utf-8").read())
    wasm = sum(script.count("data:application/octet-stream;base64,AGFzbQ")
               for script in parser.scripts)
    if wasm != 1:
        sys.exit(f"{path} carries {wasm} WebAssembly modules, not one")
    shows.append(parser.scripts)
sys.exit(shows[0] != shows[1])
PYTHON
    fail "the page and the site's index.html carry different shows"
fi

echo "== the source archive builds the page and the site"
tar -xzf "$dist/$source_tar" -C "$scratch"
unpacked=$scratch/qorvelin-$version
[ -d "$unpacked" ] || fail "the source archive does not unpack into qorvelin-$version/"
# The make of `make check` must not hand its job server to this one.
if env -u MAKEFLAGS -u MAKELEVEL -u MFLAGS make -C "$unpacked" web >"$scratch/web.log" 2>&1; then
    cmp "$unpacked/build-web/qorvelin.html" "$dist/$page" ||
        fail "the page built from the source archive differs from the release's"
    diff -rq "$unpacked/build-web/site" "$site" ||
        fail "the site built from the source archive differs from the zip's"
else
    tail -n 30 "$scratch/web.log" >&2
    fail "make web fails in the unpacked source archive"
fi
# There, without git, the release takes the source's files and date from the archive's files:
# the same source archive again, although the build's folders are there now.
(cd "$unpacked" && env -u SOURCE_DATE_EPOCH python3 tools/release.py dist "$version" \
    "$dist/$page" "$site" "$dist/$deb" dist)
cmp "$unpacked/dist/$source_tar" "$dist/$source_tar" ||
    fail "the unpacked source archive makes another source archive"

echo "== the package's program"
dpkg-deb -x "$dist/$deb" "$scratch/root"
hardening-check "$scratch/root/usr/bin/qorvelin" ||
    fail "hardening-check rejects the package's program"

echo "== the package's metadata tells the release"
day=$(date -u -d "@$SOURCE_DATE_EPOCH" +%F)
grep -q "<release version=\"$version\" date=\"$day\">" \
    "$scratch/root/usr/share/metainfo/org.qorvelin.Qorvelin.metainfo.xml" ||
    fail "the metainfo has no release $version of $day"
changelog=$(zcat "$scratch/root/usr/share/doc/qorvelin/changelog.gz")
[ "$(dpkg-parsechangelog -l- -S Version <<<"$changelog")" = "$version" ] ||
    fail "the changelog's version is not $version"
[ "$(dpkg-parsechangelog -l- -S Timestamp <<<"$changelog")" = "$SOURCE_DATE_EPOCH" ] ||
    fail "the changelog is not dated $(date -u -R -d "@$SOURCE_DATE_EPOCH")"
zcat "$scratch/root/usr/share/man/man1/qorvelin.1.gz" |
    grep -q "^\.TH QORVELIN 1 \"$day\" \"Qorvelin $version\"" ||
    fail "the manual page is not dated $day for Qorvelin $version"

finish release "the release is whole and sound"
