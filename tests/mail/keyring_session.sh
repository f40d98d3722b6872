#!/usr/bin/env bash
# Runs a command with a real Secret Service: a private D-Bus session with gnome-keyring-daemon,
# its login keyring unlocked from standard input, in a throw-away home.
#   keyring_session.sh COMMAND [ARGS...]
set -euo pipefail
if [[ "${1:-}" != "--inside" ]]; then
    home=$(mktemp -d "${TMPDIR:-/tmp}/sales-keyring.XXXXXX")
    trap 'rm -rf "$home"' EXIT
    HOME=$home XDG_DATA_HOME=$home/.local/share XDG_RUNTIME_DIR=$home/run dbus-run-session -- "$0" --inside "$@"
    exit $?
fi
shift
mkdir -p "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
eval "$(printf 'keyring-test' | gnome-keyring-daemon --unlock --components=secrets)"
export GNOME_KEYRING_CONTROL
SALES_TEST_KEYRING=1 "$@"
