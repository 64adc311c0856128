#!/bin/sh
# Installs the Debian packages that building, testing, running and packaging Qorvelin
# need, and only those that are missing. When every package is already present it does
# nothing at all and prints nothing (not even a package-list update), so `make run` stays
# quick. Run as root, it also creates the unprivileged user that the Wayland end-to-end
# test runs its compositor as (sway refuses to run as root).
#
#   install-deps.sh                 the desktop program, its tests and its package
#   install-deps.sh web             and the web page's build
#   install-deps.sh web page-tests  and the browsers that play the page in its tests
#   install-deps.sh web release     and what makes the release files and tests them
#   install-deps.sh web release reproducible
#                                   and what says where two builds of the release differ
set -eu

# One package a line, with what it is for.
wanted() {
    cat <<'LIST'
build-essential      C++ compiler, make and the C library headers
cmake                the build system
ninja-build          the build tool CMake generates for
qt6-base-dev         Qt 6 Widgets, Gui, Core and Test, with their CMake files
libgl-dev            OpenGL headers that Qt 6 Gui's CMake files look for
libgtest-dev         GoogleTest, for the unit tests
qt6-wayland          Qt's platform plugin for Wayland sessions
xvfb                 a private X server for the end-to-end tests
xauth                lets xvfb-run authorise its clients
openbox              a window manager inside that X server
xdotool              presses keys and finds windows in the end-to-end tests
x11-utils            xwininfo and xprop, to look at the window
imagemagick          screenshots and pixel checks in the end-to-end tests
strace               checks which files and sockets the program opens
sway                 a Wayland compositor, run headless for the end-to-end test on Wayland
grim                 screenshots of that compositor's output
wtype                types the key on Wayland
libx11-dev           Xlib, with which the end-to-end test asks the X server ...
libxfixes-dev        ... for the mouse pointer's image (XFIXES)
dbus-daemon          a private session bus for the test of the screen-saver inhibition
desktop-file-utils   desktop-file-validate, for the install test
appstream            appstreamcli, validates the metainfo file
dpkg-dev             dpkg-shlibdeps, which works out the .deb's library dependencies
file                 lets CPack find the binaries to hand to dpkg-shlibdeps
lintian              Debian's own checks of the package, in the install test
clang-tidy           lint
cppcheck             lint
clang-format         keeps the sources in the repository's style
LIST
    for part in "$@"; do
        case $part in
        web) cat <<'LIST' ;;
emscripten           compiles the show into the web page (make web)
LIST
        page-tests) cat <<'LIST' ;;
chromium             plays the page in its tests and its benchmark
firefox-esr          plays the page in Firefox's engine
webkit2gtk-driver    WebKitGTK's WebDriver and MiniBrowser, the engine of Safari
LIST
        release) cat <<'LIST' ;;
python3              runs tools/release.py, which writes the release files (make dist)
devscripts           hardening-check, which the release's test runs on the package's program
LIST
        reproducible) cat <<'LIST' ;;
diffoscope           says where two builds of the release differ (make check-reproducible)
LIST
        *)
            echo "install-deps: no such part: $part" >&2
            exit 2
            ;;
        esac
    done
    # node and npm run the page's tests with puppeteer-core; Debian's, where none is there.
    case " $* " in
    *" page-tests "*)
        command -v node >/dev/null 2>&1 || echo "nodejs"
        command -v npm >/dev/null 2>&1 || echo "npm"
        ;;
    esac
}

packages=$(wanted "$@" | cut -d' ' -f1)
test_user=qorvelin-test

# The user the Wayland end-to-end test runs sway and its clients as, when run by root.
ensure_test_user() {
    if [ "$(id -u)" -eq 0 ] && ! id "$test_user" >/dev/null 2>&1; then
        useradd --system --user-group --no-create-home --home-dir /nonexistent \
            --shell /usr/sbin/nologin "$test_user"
    fi
}

# One query for the whole list; a package dpkg has never heard of is simply not printed.
# shellcheck disable=SC2086  # the list is meant to split into words
installed=$(dpkg-query -W -f='${Package} ${db:Status-Abbrev}\n' $packages 2>/dev/null |
    awk '$2 ~ /^ii/ {print $1}' || true)

missing=""
for package in $packages; do
    if ! printf '%s\n' "$installed" | grep -qx "$package"; then
        missing="$missing $package"
    fi
done

if [ -z "$missing" ]; then
    ensure_test_user
    exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
    as_root=""
elif command -v sudo >/dev/null 2>&1; then
    as_root="sudo"
else
    echo "install-deps: these packages are missing and neither root nor sudo is available:$missing" >&2
    exit 1
fi

echo "install-deps: installing$missing"
$as_root apt-get update
# shellcheck disable=SC2086  # the list is meant to split into words
$as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends $missing
ensure_test_user
