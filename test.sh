#!/usr/bin/env bash
# Builds 営業手帳 and runs every test, the MariaDB and mail server integration tests included.
#   ./test.sh                      build into build/ and run all tests
#   BUILD_DIR=build-x ./test.sh    use another build folder
# Extra arguments are passed to ctest (e.g. ./test.sh -R db_ or ./test.sh -L integration).
set -euo pipefail

cd "$(dirname "${BASH_SOURCE[0]}")"
ROOT=$PWD
BUILD_DIR=${BUILD_DIR:-build}

source "$ROOT/scripts/install_packages.sh"
install_missing_packages

cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD_DIR" --parallel "$(nproc)"

# The integration test needs a MariaDB server and an ODBC data source; both live in a temporary
# folder that is removed on exit, whatever happens.
SERVER_SCRIPT=$ROOT/tests/integration/mariadb_server.sh
stop_server() {
    if [[ -n "${SALES_MARIADB_DIR:-}" ]]; then
        "$SERVER_SCRIPT" stop "$SALES_MARIADB_DIR" || true
    fi
}
# The mail tests need SMTP and POP3 servers, also in a temporary folder.
MAIL_SCRIPT=$ROOT/tests/integration/mail_servers.sh
stop_servers() {
    stop_server
    if [[ -n "${SALES_MAIL_DIR:-}" ]]; then
        "$MAIL_SCRIPT" stop "$SALES_MAIL_DIR" || true
    fi
}
trap stop_servers EXIT
server_env=$("$SERVER_SCRIPT" start)
eval "$server_env"
mail_env=$("$MAIL_SCRIPT" start)
eval "$mail_env"
export SALES_MARIADB_DIR ODBCSYSINI SALES_TEST_MYSQL_DSN SALES_TEST_MYSQL_DSN_CP932 SALES_TEST_MYSQL_SOCKET \
    SALES_TEST_MYSQL_PORT
# Every test runs here: the integration test must not skip itself.
unset SALES_SKIP_INTEGRATION

status=0
ctest --test-dir "$BUILD_DIR" --output-on-failure --parallel "${CTEST_PARALLEL_LEVEL:-$(nproc)}" "$@" || status=$?

# Fuzz targets (clang's libFuzzer): the committed corpus and saved findings replayed, then a fixed-seed
# exploration of a fixed number of runs, so every run tries the same inputs; only on a full run (no
# ctest arguments). A crash or a failed check fails the run. Random exploration: fuzz/run.sh --explore.
if [[ $# -eq 0 ]]; then
    "$ROOT/fuzz/run.sh" || status=1
fi

# The Debian package (about half a minute): only on a full run.
if [[ $# -eq 0 ]]; then
    BUILD_DIR="$BUILD_DIR" "$ROOT/package.sh" || status=1
fi
exit "$status"
