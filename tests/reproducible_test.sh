#!/bin/bash
# Makes the release twice, with `make dist` in two fresh clones of HEAD at different paths,
# one after the other, under different umasks, time zones and locales, and checks that the
# two give the same bytes. Where they do not, diffoscope says where.
# Usage: reproducible_test.sh   (from anywhere in the repository; `make check-reproducible`)
set -euo pipefail

repository=$(git rev-parse --show-toplevel)
commit=$(git -C "$repository" rev-parse HEAD)
scratch=$(mktemp -d "${TMPDIR:-/tmp}/qorvelin-reproducible.XXXXXX")
keep_scratch=false
trap '$keep_scratch || rm -rf "$scratch"' EXIT

echo "make dist twice from commit $commit, in $scratch"
# build_in FOLDER UMASK TZ LOCALE: a clone of the commit in FOLDER, and its make dist.
build_in() {
    local folder=$1
    git clone --quiet --no-checkout "$repository" "$folder"
    git -C "$folder" checkout --quiet --detach "$commit"
    echo "== make dist in $folder (umask $2, TZ=$3, LC_ALL=$4)"
    local started=$SECONDS
    if ! (umask "$2" && cd "$folder" && env -u SOURCE_DATE_EPOCH -u MAKEFLAGS -u MAKELEVEL \
        TZ="$3" LC_ALL="$4" make dist) >"$folder.log" 2>&1; then
        tail -n 40 "$folder.log" >&2
        echo "make dist failed in $folder; its log is $folder.log" >&2
        keep_scratch=true
        exit 1
    fi
    echo "$((SECONDS - started)) s"
}
first=$scratch/one/qorvelin
second=$scratch/and/a/second/deeper/path/qorvelin-release
build_in "$first" 022 UTC C
build_in "$second" 002 XYZ-13:45 C.UTF-8

echo "== compare"
different=()
for path in "$first"/dist/*; do
    name=${path##*/}
    if ! cmp -s "$path" "$second/dist/$name"; then
        different+=("$name")
    fi
done
[ "$(ls "$first/dist")" = "$(ls "$second/dist")" ] || different+=("(the lists of files)")

if [ ${#different[@]} -ne 0 ]; then
    keep_scratch=true
    echo "FAIL: the two builds differ in: ${different[*]}" >&2
    for name in "${different[@]}"; do
        [ -f "$first/dist/$name" ] && [ -f "$second/dist/$name" ] || continue
        report=$scratch/$name.diffoscope.txt
        diffoscope --text "$report" \
            "$first/dist/$name" "$second/dist/$name" >/dev/null 2>&1 || true
        echo "--- diffoscope $name (first 60 lines; all of it in $report)" >&2
        head -n 60 "$report" >&2
    done
    exit 1
fi
cat "$first/dist/SHA256SUMS"
echo "the two builds are the same bytes"
