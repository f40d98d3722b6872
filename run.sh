#!/usr/bin/env bash
# Builds 営業手帳 and starts it in demo/, a program folder with sample data made on first use.
#   ./run.sh                      build into build/ and start the program
#   BUILD_DIR=build-x ./run.sh    use another build folder
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")"
ROOT=$PWD
BUILD_DIR=${BUILD_DIR:-build}
case "$BUILD_DIR" in
    /*) ;;
    *) BUILD_DIR=$ROOT/$BUILD_DIR ;;
esac

source "$ROOT/scripts/install_packages.sh"
install_missing_packages

cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD_DIR" --parallel "$(nproc)"

# The working folder is the program folder: sales.ini, the database file, mail/ and help/.
DEMO=$ROOT/demo
if [[ ! -f "$DEMO/sales.ini" ]]; then
    echo "Preparing the demo program folder $DEMO"
    mkdir -p "$DEMO"
    (cd "$DEMO" && "$BUILD_DIR/sales-cli" init --demo)
fi

cd "$DEMO"
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]] && command -v xvfb-run >/dev/null; then
    echo "No display found; starting on a virtual X display (xvfb-run)."
    exec xvfb-run -a "$BUILD_DIR/sales" "$@"
fi
exec "$BUILD_DIR/sales" "$@"
