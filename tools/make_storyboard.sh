#!/usr/bin/env bash
# Usage: tools/make_storyboard.sh [build/app/qorvelin] [docs/storyboard.png] — plays the show once on a private X display (about 75 s) and composes six moments of it into one picture.
#
# The program runs maximised on an Xvfb screen of 1280x800 under openbox, exactly as a
# user would see it; the window's client area is captured at six quiet moments of the
# show's timeline, the space bar is pressed when the show asks for a key, and the frames
# are laid out three by two with their time after the window opened. It first installs what
# of Xvfb, openbox, xdotool, xdpyinfo and ImageMagick (import, montage) is missing.
set -euo pipefail

here=$(cd "$(dirname "$0")/.." && pwd)
sh "$here/tools/install-deps.sh" storyboard
program=${1:-$here/build/app/qorvelin}
output=${2:-$here/docs/storyboard.png}
[[ -x $program ]] || { echo "make_storyboard: no program at $program" >&2; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
        pid=${pids[i]}
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

# A free display from :90 to :99; a server that loses the race for one exits at once.
display=
for n in {90..99}; do
    [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp -noreset >/dev/null 2>&1 &
    server=$!
    for _ in {1..100}; do
        kill -0 "$server" 2>/dev/null || break
        if xdpyinfo -display ":$n" >/dev/null 2>&1; then
            display=:$n
            break
        fi
        sleep 0.05
    done
    if [[ -n $display ]]; then
        pids+=("$server")
        break
    fi
    kill "$server" 2>/dev/null || true
done
[[ -n $display ]] || { echo "make_storyboard: no free X display from :90 to :99" >&2; exit 1; }
export DISPLAY=$display QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY

openbox >/dev/null 2>&1 &
pids+=("$!")
for _ in {1..100}; do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id" && break
    sleep 0.05
done

"$program" >/dev/null 2>&1 &
show=$!
pids+=("$show")
window=
for _ in {1..750}; do
    window=$(xdotool search --onlyvisible --name '^Qorvelin$' 2>/dev/null | head -n 1) || true
    [[ -n $window ]] && break
    # Openbox may have read the window's map request in its start and wait for more events
    # before it handles it: a change to a root window property wakes it.
    xprop -root -f _QORVELIN_WAKE 8s -set _QORVELIN_WAKE 1 2>/dev/null || true
    sleep 0.02
done
opened=$(date +%s%3N)
[[ -n $window ]] || { echo "make_storyboard: no window titled Qorvelin appeared" >&2; exit 1; }

# Waits until `ms` after the window opened.
until_ms() {
    local left=$(($1 - ($(date +%s%3N) - opened)))
    if ((left > 0)); then
        sleep "$(printf '%d.%03d' $((left / 1000)) $((left % 1000)))"
    fi
}

labels=()
frames=()
# Captures the client area `ms` after the window opened, labelled with the time and `what`.
frame() {
    until_ms "$1"
    local now=$(($(date +%s%3N) - opened)) file
    file=$work/frame${#frames[@]}.png
    import -window "$window" "png:$file"
    frames+=("$file")
    labels+=("$(printf '%d:%02d %s' $((now / 60000)) $((now / 1000 % 60)) "$2")")
}

# The show's timeline, in ms after the window opened; the key wait begins at about 38600.
frame 1600 "opening"
frame 20800 "a typed line"
frame 35000 "the first row"
frame 39500 "waiting for a key"
until_ms 40000
xdotool windowactivate --sync "$window" key space
key=$(($(date +%s%3N) - opened))
frame $((key + 4000)) "the second row"
frame $((key + 31500)) "the last lines"
wait "$show" || { echo "make_storyboard: the show ended with status $?" >&2; exit 1; }

args=()
for i in "${!frames[@]}"; do
    args+=(-label "${labels[i]}" "${frames[i]}")
done
mkdir -p "$(dirname "$output")"
montage "${args[@]}" -tile 3x2 -geometry 420x+6+6 -background '#202020' -fill '#e0e0e0' \
    -font DejaVu-Sans -pointsize 15 -depth 8 "$output"
echo "make_storyboard: wrote $output (${labels[*]})"
