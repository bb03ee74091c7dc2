#!/usr/bin/env bash
# Usage: demo_session_test.sh BIN SCRIPTS
# scripts/demo-session points Setting.ini at the emulator and keeps every other setting the user
# made; only where the file names no record or snapshot folder does it name the demo's.
set -euo pipefail
built="$1"
scripts="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

fail() {
    echo "$1"
    cat -A "$ini"
    exit 1
}
# Each line as the file holds it, line ending included.
holds() { grep -qxF -- "$1"$'\r' "$ini" || fail "Setting.ini lacks: $1"; }
lacks() { ! grep -qF -- "$1" "$ini" || fail "Setting.ini still holds: $1"; }

for run in user-settings no-file; do
    bin="$work/$run/bin"
    mkdir -p "$bin"
    ln -s "$built/torvel-device-emulator" "$built/torvel-demo-settings" "$bin/"
    ini="$bin/Setting.ini"
    if [ "$run" = user-settings ]; then
        printf '%s\r\n' "[Quarnel]" "Server Name=192.168.1.10" "Image Resolution=2" \
            "Enable_ALARM=1" "Record Path=/home/me/recordings" "[Other]" "ServerPort=1" >"$ini"
    fi
    "$scripts/demo-session" "$bin" true >/dev/null
    holds "[Quarnel]"
    holds "Server Name=127.0.0.1"
    holds "Username=admin"
    grep -qE "^ServerPort=[1-9][0-9]*"$'\r'"$" "$ini" || fail "Setting.ini names no port"
    holds "Snapshot Path=$work/$run/snapshots"
    if [ "$run" = user-settings ]; then
        holds "Image Resolution=2"
        holds "Enable_ALARM=1"
        holds "Record Path=/home/me/recordings"
        holds "[Other]"
        holds "ServerPort=1"
        lacks "192.168.1.10"
    else
        holds "Record Path=$work/$run/records"
    fi
done
echo "demo-session keeps the user's settings"
