#!/bin/bash
# Installs a built tree into a scratch folder and checks that it is a proper desktop
# application, then builds the Debian package and checks its control fields and contents.
# Usage: install_test.sh BUILD_DIR VERSION [CMAKE] [CPACK]
set -euo pipefail

build=$1
version=$2
cmake=${3:-cmake}
cpack=${4:-cpack}
app_id=org.qorvelin.Qorvelin

source "$(dirname "$0")/shell_checks.sh"
# expect_file PATH WHAT: PATH exists as a regular file.
expect_file() {
    [ -f "$1" ] || fail "$2 missing: ${1#"$scratch"}"
}
# desktop_key FILE KEY: the value of KEY in a desktop entry.
desktop_key() {
    sed -n "s/^$2=//p" "$1"
}

echo "== cmake --install into a DESTDIR"
root=$scratch/root
DESTDIR=$root "$cmake" --install "$build" --prefix /usr >"$scratch/install.log" ||
    { cat "$scratch/install.log" >&2; fail "cmake --install failed"; exit 1; }
usr=$root/usr

program=$usr/bin/qorvelin
desktop=$usr/share/applications/$app_id.desktop
metainfo=$usr/share/metainfo/$app_id.metainfo.xml
hicolor=$usr/share/icons/hicolor

expect_file "$program" "program"
[ -x "$program" ] || fail "program is not executable"
expect_file "$desktop" "desktop entry"
expect_file "$metainfo" "metainfo"
expect_file "$usr/share/doc/qorvelin/copyright" "copyright file"
for notice in "MIT License" "Noto Sans CJK TC" "SIL OPEN FONT LICENSE Version 1.1"; do
    grep -qF "$notice" "$usr/share/doc/qorvelin/copyright" ||
        fail "the copyright file does not name $notice"
done
expect_file "$usr/share/doc/qorvelin/changelog.gz" "changelog"
manual=$usr/share/man/man1/qorvelin.1.gz
expect_file "$manual" "manual page"

echo "== icons"
for size in 16 32 48 256; do
    icon=$hicolor/${size}x${size}/apps/qorvelin.png
    expect_file "$icon" "${size}px icon"
    [ -f "$icon" ] || continue
    # A hicolor size folder must hold a picture of exactly that size.
    file -b "$icon" | grep -q "^PNG image data, $size x $size," ||
        fail "${size}x${size} icon is not a $size x $size PNG: $(file -b "$icon")"
done
svg=$hicolor/scalable/apps/qorvelin.svg
expect_file "$svg" "scalable icon"
[ -f "$svg" ] && { grep -q "<svg" "$svg" || fail "scalable icon is not an SVG"; }

echo "== the program's run-time search path"
# An installed program must not look for libraries in the build tree.
if [ -f "$program" ]; then
    runpath=$(readelf -d "$program" | sed -n 's/.*(\(RUNPATH\|RPATH\)).*\[\(.*\)\]/\2/p')
    [ -z "$runpath" ] || fail "installed program keeps a run-time path: $runpath"
fi

echo "== desktop entry"
if [ -f "$desktop" ]; then
    desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the desktop entry"
    [ "$(desktop_key "$desktop" Name)" = Qorvelin ] || fail "desktop entry Name is not Qorvelin"
    [ "$(desktop_key "$desktop" Exec)" = qorvelin ] || fail "desktop entry does not run qorvelin"
    [ "$(desktop_key "$desktop" Icon)" = qorvelin ] || fail "desktop entry does not use the qorvelin icon"
    for key in Name Comment; do
        value=$(desktop_key "$desktop" "$key\\[zh_TW\\]")
        # Traditional Chinese text: at least one Han character (UTF-8 lead bytes E4 to E9).
        printf '%s' "$value" | LC_ALL=C grep -q $'[\xe4-\xe9]' ||
            fail "desktop entry ${key}[zh_TW] has no Chinese text: '$value'"
    done
fi

echo "== metainfo"
if [ -f "$metainfo" ]; then
    appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the metainfo file"
    grep -q "<id>$app_id</id>" "$metainfo" || fail "metainfo id is not $app_id"
    grep -q "<launchable type=\"desktop-id\">$app_id.desktop</launchable>" "$metainfo" ||
        fail "metainfo does not launch $app_id.desktop"
    grep -q "<release version=\"$version\"" "$metainfo" || fail "metainfo has no release $version"
    grep -q '<screenshot' "$metainfo" || fail "metainfo has no screenshot"
fi

echo "== cpack -G DEB"
packages=$scratch/packages
"$cpack" --config "$build/CPackConfig.cmake" -G DEB -B "$packages" >"$scratch/cpack.log" ||
    { cat "$scratch/cpack.log" >&2; fail "cpack failed"; exit 1; }
debs=("$packages"/qorvelin_*.deb)
if [ ${#debs[@]} -ne 1 ] || [ ! -f "${debs[0]}" ]; then
    fail "expected one qorvelin_*.deb, found: $(ls "$packages")"
    exit 1
fi
deb=${debs[0]}
echo "built $(basename "$deb")"

[ "$(dpkg-deb -f "$deb" Package)" = qorvelin ] || fail "package name is not qorvelin"
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version is not $version"
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
depended=$(printf '%s\n' "$depends" | tr ',' '\n' | sed 's/^ *//; s/[ (].*//')
for needed in libqt6core6 libqt6gui6 libqt6widgets6 qt6-wayland; do
    # A whole package name in the comma-separated list, with or without a version.
    printf '%s\n' "$depended" | grep -qx "$needed" || fail "Depends does not name $needed"
done
# The program carries its own face.
if printf '%s\n' "$depended" | grep -q '^fonts-'; then
    fail "Depends names a font package"
fi

contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for path in ./usr/bin/qorvelin \
    "./usr/share/applications/$app_id.desktop" \
    "./usr/share/metainfo/$app_id.metainfo.xml" \
    ./usr/share/icons/hicolor/{16x16,32x32,48x48,256x256}/apps/qorvelin.png \
    ./usr/share/icons/hicolor/scalable/apps/qorvelin.svg \
    ./usr/share/doc/qorvelin/copyright \
    ./usr/share/doc/qorvelin/changelog.gz \
    ./usr/share/man/man1/qorvelin.1.gz; do
    printf '%s\n' "$contents" | grep -qx "$path" || fail "package lacks $path"
done

echo "== lintian"
# Debian's own checker: no error and no warning.
lintian_report=$(lintian --fail-on none "$deb" 2>&1 || true)
printf '%s\n' "$lintian_report"
if printf '%s\n' "$lintian_report" | grep -q '^[EW]: '; then
    fail "lintian reports errors or warnings"
fi

finish install "install tree and package are sound"
