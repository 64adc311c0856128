# What the shell tests share, sourced after their arguments are read: a scratch folder that
# goes when the test ends, checks that count their failures and let the others run, and the
# last line that says how it went.

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# finish WHAT SOUND: exits with failure after the checks of WHAT if any failed, else says SOUND.
finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$failures $1 check(s) failed" >&2
        exit 1
    fi
    echo "$2"
}
