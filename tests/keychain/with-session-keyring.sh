#!/bin/sh
# Runs a command inside a private session bus with a keyring daemon of its own, unlocked, in throw-away
# folders: the Secret Service store is then tested without touching the user's keyring.
set -e
XDG_RUNTIME_DIR=$(mktemp -d)
HOME=$(mktemp -d)
export XDG_RUNTIME_DIR HOME
trap 'rm -rf "$XDG_RUNTIME_DIR" "$HOME"' EXIT
printf 'test' | gnome-keyring-daemon --unlock --components=secrets >/dev/null 2>&1 || true
"$@"
