#!/bin/sh
# Installs the Debian packages of the parts named on the command line, and only those that
# are missing. When every one is already present it does nothing at all and prints nothing
# (not even a package-list update), so `make run` stays quick. Each make target names the
# parts it needs:
#
#   play        building the desktop program and playing it (every desktop target)
#   test-libs   what the tests compile against (make check, make lint, make asan)
#   tests       what the tests run (make check); run as root, this part also creates the
#               unprivileged user that the Wayland end-to-end test runs its compositor as
#               (sway refuses to run as root)
#   package     building the Debian package (make package)
#   bench       the benchmark's private X display (make bench)
#   lint        make lint
#   format      make format, make format-check
#   web         building the web page (make web)
#   page-tests  the browsers that play the page, and node to drive them (make check,
#               make bench-web)
#   storyboard  tools/make_storyboard.sh
#   release     making the release files and testing them (make dist, make check)
#   reproducible  saying where two builds of the release differ (make check-reproducible)
#
#   install-deps.sh play                  what `make run` installs
#   install-deps.sh play test-libs lint   and so on
set -eu

# One package a line: the parts that need it, and what it is for.
list() {
    cat <<'LIST'
build-essential      play                   C++ compiler, make and the C library headers
cmake                play,web               the build system
ninja-build          play,web               the build tool CMake generates for
qt6-base-dev         play                   Qt 6 Widgets, Gui, Core, DBus and Test, with their CMake files
libgl-dev            play                   OpenGL headers that Qt 6 Gui's CMake files look for
qt6-wayland          play                   Qt's platform plugin for Wayland sessions
libgtest-dev         test-libs              GoogleTest, for the unit tests
libx11-dev           test-libs              Xlib, with which the end-to-end test asks the X server ...
libxfixes-dev        test-libs              ... for the mouse pointer's image (XFIXES)
xvfb                 tests,bench,storyboard a private X server
xauth                bench                  lets xvfb-run authorise its clients
openbox              tests,bench,storyboard a window manager inside that X server
xdotool              tests,storyboard       presses keys and finds windows
x11-utils            tests,storyboard       xwininfo, xprop and xdpyinfo, to look at windows and screens
strace               tests                  checks which files and sockets the program opens
sway                 tests                  a Wayland compositor, run headless for the end-to-end test on Wayland
grim                 tests                  screenshots of that compositor's output
wtype                tests                  types the key on Wayland
dbus-daemon          tests                  a private session bus for the test of the screen-saver inhibition
desktop-file-utils   tests                  desktop-file-validate, for the install test
appstream            tests                  appstreamcli, validates the metainfo file
lintian              tests                  Debian's own checks of the package, in the install test
dpkg-dev             package,tests          dpkg-shlibdeps, which works out the .deb's library dependencies
file                 package,tests          lets CPack find the binaries to hand to dpkg-shlibdeps
imagemagick          storyboard             import and montage, which take the pictures and lay them out
clang-tidy           lint                   finds bugs and risky constructs in the C++
cppcheck             lint                   a second static analysis of the C++
clang-format         format                 keeps the sources in the repository's style
emscripten           web                    compiles the show into the web page
chromium             page-tests             plays the page in its tests and its benchmark
firefox-esr          page-tests             plays the page in Firefox's engine
webkit2gtk-driver    page-tests             WebKitGTK's WebDriver and MiniBrowser, the engine of Safari
python3              release                runs tools/release.py, which writes the release files
devscripts           release                hardening-check, which the release's test runs on the package's program
diffoscope           reproducible           says where two builds of the release differ
LIST
}

if [ $# -eq 0 ]; then
    echo "usage: install-deps.sh PART... (the parts are listed at the top of this script)" >&2
    exit 2
fi
for part in "$@"; do
    if ! list | awk -v part="$part" '{ n = split($2, parts, ","); for (i = 1; i <= n; i++) if (parts[i] == part) found = 1 }
            END { exit !found }'; then
        echo "install-deps: no such part: $part" >&2
        exit 2
    fi
done

# The packages of the parts asked for, each once.
packages=$(list | awk -v asked=" $* " '{
    n = split($2, parts, ",")
    for (i = 1; i <= n; i++) if (index(asked, " " parts[i] " ")) { print $1; next }
}')
# node and npm run the page's tests with puppeteer-core; Debian's, where none is there.
case " $* " in
*" page-tests "*)
    command -v node >/dev/null 2>&1 || packages="$packages nodejs"
    command -v npm >/dev/null 2>&1 || packages="$packages npm"
    ;;
esac

test_user=qorvelin-test

# The user the Wayland end-to-end test runs sway and its clients as, when run by root.
ensure_test_user() {
    case " $* " in *" tests "*) ;; *) return 0 ;; esac
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
    ensure_test_user "$@"
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
ensure_test_user "$@"
