#!/usr/bin/env bash
# ./run demo: the tool under Wine against a local demo site on loopback.
#   With a DISPLAY: the window opens for a person, with the demo track's play page as its
#   first argument; close it to end the demo.
#   Without one: on a virtual display the driver does the job as a user would (parse, choose
#   a folder in the real dialog, download, answer the closing message), screenshots go to
#   out/, and the downloaded file is checked against the site's bytes.
# Settings: QZLN_BUILD_DIR_WINDOWS, QZLN_BUILD_DIR_NATIVE (default build/windows, build/native).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

win_dir=${QZLN_BUILD_DIR_WINDOWS:-build/windows}
native_dir=${QZLN_BUILD_DIR_NATIVE:-build/native}
out=$root/out

# Inside the Wine session: the steps of the job, each one done by the driver.
if [ "${1:-}" = --steps ]; then
    page=$2
    app=$win_dir/bin/qzln_localsite.exe
    driver() { wine "$win_dir/bin/qzln_driver.exe" "$@" | tr -d '\r'; }
    shot() {  # FILE: the window with its title bar
        local x y w h
        read -r x y w h < <(driver rect)
        import -window root -crop "${w}x${h}+${x}+${y}" +repage "$1"
        echo "screenshot: ${1#"$root"/}"
    }
    wine "$app" "$page" 2>"$out/demo-wine.log" &
    app_pid=$!
    driver wait-window 30000
    driver click 按钮1 wait-text 编辑框2 .mp3 30000
    shot "$out/demo.png"

    if [ "${QZLN_DEMO_PARSE_ONLY:-}" != 1 ]; then
        # The folder lies inside the Wine prefix (Wine's shell does not list the Unix root
        # behind Z:); the file is copied to out/ afterwards.
        folder=$WINEPREFIX/drive_c/users/Public/qzln-demo
        rm -rf "$folder"
        mkdir -p "$folder"
        driver click 按钮2 pick-folder 'C:\users\Public\qzln-demo' 30000 \
            wait-text 编辑框3 'C:\users\Public\qzln-demo' 5000
        driver click 按钮3 wait-progress 20 60000 status
        shot "$out/demo-downloading.png"
        driver wait-box 180000 status
        shot "$out/demo-done.png"
        driver answer 1 sleep 500 status
        rm -rf "$out/demo-download"
        cp -r "$folder" "$out/demo-download"
    fi
    driver close 20000
    wait "$app_pid" || true
    exit 0
fi

cmake --preset windows -B "$win_dir" >/dev/null
cmake --build "$win_dir" -j "$(nproc)" --target qzln qzln_localsite qzln_driver
cmake --preset native -B "$native_dir" >/dev/null
cmake --build "$native_dir" -j "$(nproc)" --target qzln_demo_site
port=$(sed -n 's/^QZLN_LOCAL_SITE_PORT:STRING=//p' "$win_dir/CMakeCache.txt")

mkdir -p "$out"
"$native_dir/tests/wine/qzln_demo_site" --port "$port" --content-out "$out/demo-track.expected" &
site_pid=$!
trap 'kill "$site_pid" 2>/dev/null; wait "$site_pid" 2>/dev/null || true' EXIT
page="http://127.0.0.1:$port/dance/play/348698.html"

if [ -n "${DISPLAY:-}" ]; then
    echo "demo: the window opens on $DISPLAY with $page; close it to end the demo"
    QZLN_KEEP_DISPLAY=1 QZLN_WINE_TIMEOUT=86400 scripts/wine-session.sh wine "$win_dir/bin/qzln_localsite.exe" "$page"
    exit 0
fi

started=$(date +%s)
scripts/wine-session.sh "$0" --steps "$page"
if [ "${QZLN_DEMO_PARSE_ONLY:-}" != 1 ]; then
    file=$(find "$out/demo-download" -type f | head -n1)
    [ -n "$file" ] || { echo "demo: FAILED, no file was downloaded" >&2; exit 1; }
    echo "demo: downloaded ${file#"$root"/}: $(stat -c %s "$file") bytes, sha256 $(sha256sum <"$file" | cut -d' ' -f1)"
    if cmp -s "$file" "$out/demo-track.expected"; then
        echo "demo: the file matches the site's track byte for byte"
    else
        echo "demo: FAILED, the file differs from the site's track" >&2
        exit 1
    fi
fi
echo "demo: done in $(($(date +%s) - started)) s; screenshots in out/"
