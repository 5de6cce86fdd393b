#!/bin/sh
# Runs a test on a private session bus with a real secret service (gnome-keyring-daemon), its
# keyrings in a throw-away home, unlocked with a throw-away password. The bus and the daemon
# end with the test.
set -eu
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME="$home" XDG_DATA_HOME="$home/data" XDG_CONFIG_HOME="$home/config" XDG_RUNTIME_DIR="$home"
exec dbus-run-session -- sh -c 'printf test | gnome-keyring-daemon --unlock --components=secrets >/dev/null && exec "$@"' sh "$@"
