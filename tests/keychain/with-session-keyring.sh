#!/bin/sh
# Runs a command inside a private session bus with a keyring daemon of its own, unlocked, in throw-away
# folders: the Secret Service store is then tested without touching the user's keyring.
set -e
XDG_RUNTIME_DIR=$(mktemp -d)
HOME=$(mktemp -d)
export XDG_RUNTIME_DIR HOME
trap 'rm -rf "$XDG_RUNTIME_DIR" "$HOME"' EXIT
printf 'test' | gnome-keyring-daemon --unlock --components=secrets >/dev/null 2>&1 || true
# The daemon claims its bus name a moment after it returns; asked before that, the bus would start a second,
# locked one whose prompt fails without a display.
i=0
while [ $i -lt 100 ] && ! dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
        org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null | grep -q 'boolean true'; do
    sleep 0.05
    i=$((i + 1))
done
"$@"
