#!/usr/bin/env bash
# Runs the sync scenario test (one office, two laptops, random work, cut syncs) with many seeds.
#   tests/integration/sync_scenarios.sh [SEEDS] [FIRST_SEED]     default: 200 seeds from 1
# Uses the build in $BUILD_DIR (default build/) and starts a throw-away MariaDB server unless
# SALES_TEST_MYSQL_DSN names one already.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/../.."
BUILD_DIR=${BUILD_DIR:-build}
SEEDS=${1:-200}
FIRST=${2:-1}
TEST="$BUILD_DIR/tests/integration_test_sync_mariadb"
if [[ ! -x "$TEST" ]]; then
    echo "sync_scenarios: $TEST is missing; build first (cmake --build $BUILD_DIR --target integration_test_sync_mariadb)" >&2
    exit 2
fi
SERVER_SCRIPT=tests/integration/mariadb_server.sh
started=""
if [[ -z "${SALES_TEST_MYSQL_DSN:-}" ]]; then
    eval "$("$SERVER_SCRIPT" start)"
    started=$SALES_MARIADB_DIR
    trap '"$SERVER_SCRIPT" stop "$started" || true' EXIT
fi
export ODBCSYSINI SALES_TEST_MYSQL_DSN
echo "sync_scenarios: seeds $FIRST to $((FIRST + SEEDS - 1))" >&2
SALES_SYNC_SEEDS=$SEEDS SALES_SYNC_FIRST_SEED=$FIRST QT_QPA_PLATFORM=offscreen "$TEST" scenario
