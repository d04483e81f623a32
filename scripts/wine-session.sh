#!/usr/bin/env bash
# Runs one command inside a Wine session of its own and tears the session down afterwards,
# also when the command fails or the script is interrupted:
#   scripts/wine-session.sh CMD...
# The session: a Wine prefix under build/ (created once, then reused), a virtual X display on
# a free number with openbox drawing the title bars, a running wineserver, and a Chinese
# locale so that the programs see the ANSI code page 936 as the tool's users do.
#
# Settings from the environment:
#   QZLN_WINEPREFIX      the prefix (default build/wineprefix); one session at a time uses it
#   QZLN_WINE_LOCALE     the locale (default zh_CN.UTF-8; en_US.UTF-8 gives code page 1252)
#   QZLN_WINE_TIMEOUT    seconds the command may take (default 1800)
#   QZLN_KEEP_DISPLAY=1  use the caller's DISPLAY instead of a virtual one (for a person)
# Inside the session: DISPLAY, WINEPREFIX, QZLN_BROWSER_LOG (a file where the shell's "open"
# of a web address is recorded instead of starting a browser).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

[ $# -ge 1 ] || { echo "usage: $0 CMD..." >&2; exit 2; }

export WINEPREFIX=${QZLN_WINEPREFIX:-$root/build/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=win64
locale_name=${QZLN_WINE_LOCALE:-zh_CN.UTF-8}
timeout_s=${QZLN_WINE_TIMEOUT:-1800}

# Wine takes its code page from the C library's locale, so the locale must exist.
have_locale() { locale -a 2>/dev/null | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/' | grep -qx "$(echo "$1" | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')"; }
if ! have_locale "$locale_name"; then
    localedef -i "${locale_name%%.*}" -f UTF-8 "$locale_name" >/dev/null 2>&1 || true
    have_locale "$locale_name" || echo "wine-session: warning: cannot generate the locale $locale_name" >&2
fi
export LC_ALL=$locale_name

mkdir -p "$(dirname "$WINEPREFIX")"
# One session per prefix at a time: a second one waits here. The processes started below do
# not inherit the lock, so one left behind cannot keep it.
exec 9>"$WINEPREFIX.lock"
flock 9

session_dir=$(mktemp -d "${TMPDIR:-/tmp}/qzln-wine.XXXXXX")
xvfb_pid=
wm_pid=
cleanup() {
    set +e
    wineserver -k >/dev/null 2>&1
    [ -n "$wm_pid" ] && kill "$wm_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
    [ -n "$wm_pid" ] && wait "$wm_pid" 2>/dev/null
    [ -n "$xvfb_pid" ] && wait "$xvfb_pid" 2>/dev/null
    rm -rf "$session_dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

log() { echo "wine-session: $*" >&2; }
started=$(date +%s%N)
elapsed() { printf '%d.%d s' $(( ($(date +%s%N) - started) / 1000000000 )) $(( ($(date +%s%N) - started) / 100000000 % 10 )); }

if [ "${QZLN_KEEP_DISPLAY:-}" = 1 ] && [ -n "${DISPLAY:-}" ]; then
    log "using the display $DISPLAY"
else
    # Xvfb picks a free display number itself and writes it to the descriptor.
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$session_dir/display" \
        >"$session_dir/xvfb.log" 2>&1 9>&- &
    xvfb_pid=$!
    for _ in $(seq 100); do
        [ -s "$session_dir/display" ] && break
        kill -0 "$xvfb_pid" 2>/dev/null || { log "Xvfb failed"; cat "$session_dir/xvfb.log" >&2; exit 1; }
        sleep 0.1
    done
    [ -s "$session_dir/display" ] || { log "Xvfb gave no display"; exit 1; }
    export DISPLAY=:$(head -n1 "$session_dir/display")
    openbox --sm-disable >/dev/null 2>&1 9>&- &
    wm_pid=$!
    # Wait until the window manager has taken the screen, so the first window gets a frame.
    for _ in $(seq 50); do
        xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
        sleep 0.1
    done
fi

# Bump when the set-up below changes: an older prefix is then made anew.
prefix_version=5
prefix_ready=$WINEPREFIX/.qzln-ready
if [ "$(cat "$prefix_ready" 2>/dev/null)" != "$prefix_version" ]; then
    log "creating the Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 9>&- || true
    # Wine's own fonts (Marlett draws the caption buttons, Tahoma is the dialog font) from
    # fonts-wine, where this Wine build does not look for them by itself.
    for f in marlett.ttf tahoma.ttf tahomabd.ttf; do
        [ -f "/usr/share/wine/fonts/$f" ] && cp "/usr/share/wine/fonts/$f" "$WINEPREFIX/drive_c/windows/Fonts/"
    done
    # Chinese glyphs in the default GUI font, the status bar and the message boxes: link the
    # dialog fonts to WenQuanYi Micro Hei. Wine draws the windows' own frames and title bars,
    # as Windows would; the window manager only places them. The shell's "open" of a web
    # address runs the hook below instead of a browser. One import for all: each start of a
    # Wine program costs time.
    # REGEDIT4: the hex(7) list is in ANSI bytes, each string ending in a zero, then one more.
    link=$(printf 'wqy-microhei.ttc,WenQuanYi Micro Hei\0\0' | od -An -tx1 -v |
        tr -s ' \n' ',' | sed 's/^,//; s/,$//')
    {
        echo 'REGEDIT4'
        echo
        echo '[HKEY_LOCAL_MACHINE\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink]'
        for font in Tahoma "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif" "Segoe UI"; do
            echo "\"$font\"=hex(7):$link"
        done
        echo
        echo '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]'
        echo '"Decorated"="N"'
        echo
        echo '[HKEY_CURRENT_USER\Software\Wine\WineBrowser]'
        echo "\"Browsers\"=\"$WINEPREFIX/browser-hook.sh\""
    } >"$session_dir/setup.reg"
    wine reg import "$session_dir/setup.reg" >/dev/null 2>&1 9>&-
    wineserver -w
    echo "$prefix_version" >"$prefix_ready"
    log "prefix created after $(elapsed)"
fi

export QZLN_BROWSER_LOG=$session_dir/browser.log
: >"$QZLN_BROWSER_LOG"
cat >"$WINEPREFIX/browser-hook.sh" <<EOF
#!/bin/sh
printf '%s\n' "\$1" >>"$QZLN_BROWSER_LOG"
EOF
chmod +x "$WINEPREFIX/browser-hook.sh"

# A persistent server and Wine's service processes, started with their output going nowhere:
# started from inside the command they would inherit its pipes and keep ctest waiting.
wineserver -p 9>&-
wine cmd /c exit >/dev/null 2>&1 </dev/null 9>&- || true
log "session ready on $DISPLAY after $(elapsed)"

status=0
timeout --kill-after=10 "$timeout_s" "$@" 9>&- || status=$?
[ $status -eq 124 ] && log "the command took longer than $timeout_s s"
exit $status
