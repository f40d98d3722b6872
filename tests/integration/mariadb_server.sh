#!/usr/bin/env bash
# A throw-away MariaDB server for the integration tests, reached through an ODBC data source.
#
#   mariadb_server.sh start        start a server in a new temporary folder; prints export lines
#   mariadb_server.sh env [DIR]    print the export lines again for a running server
#   mariadb_server.sh stop [DIR]   stop the server and remove its folder
#
# DIR defaults to $SALES_MARIADB_DIR. Typical use:
#   eval "$(tests/integration/mariadb_server.sh start)"
#   ...
#   tests/integration/mariadb_server.sh stop
set -euo pipefail

DSN_NAME=salestest
DATABASE=sales_test

log() { echo "mariadb_server: $*" >&2; }

find_driver() {
    local path
    path=$(dpkg-query -L odbc-mariadb 2>/dev/null | grep '/libmaodbc\.so$' | head -n1 || true)
    if [[ -z "$path" ]]; then
        path=$(find /usr/lib /usr/local/lib -name libmaodbc.so 2>/dev/null | head -n1 || true)
    fi
    if [[ -z "$path" ]]; then
        log "the MariaDB ODBC driver (libmaodbc.so, package odbc-mariadb) is not installed"
        exit 1
    fi
    echo "$path"
}

port_in_use() {
    ss -Hltn "sport = :$1" 2>/dev/null | grep -q . && return 0
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null && return 0
    return 1
}

print_env() {
    local dir=$1
    echo "export SALES_MARIADB_DIR='$dir'"
    echo "export ODBCSYSINI='$dir'"
    echo "export SALES_TEST_MYSQL_DSN='$DSN_NAME'"
    echo "export SALES_TEST_MYSQL_DSN_CP932='${DSN_NAME}_cp932'"
    echo "export SALES_TEST_MYSQL_SOCKET='$dir/mysql.sock'"
    echo "export SALES_TEST_MYSQL_PORT='$(cat "$dir/port")'"
}

admin() {
    local dir=$1
    shift
    mariadb-admin --no-defaults --socket="$dir/mysql.sock" -uroot "$@"
}

# Starts mariadbd on the given port; returns non-zero when it did not come up. The data is thrown
# away afterwards, so InnoDB need not sync it to disk.
try_start() {
    local dir=$1 port=$2
    rm -f "$dir/mysqld.err"
    mariadbd --no-defaults --user="$(id -un)" --datadir="$dir/data" --socket="$dir/mysql.sock" --port="$port" \
        --bind-address=127.0.0.1 --pid-file="$dir/mysqld.pid" --character-set-server=utf8mb4 \
        --collation-server=utf8mb4_general_ci --skip-log-bin --innodb-buffer-pool-size=64M \
        --log-error="$dir/mysqld.err" \
        --innodb-flush-log-at-trx-commit=0 --innodb-doublewrite=0 --innodb-flush-method=nosync \
        </dev/null >/dev/null 2>&1 &
    local pid=$!
    echo "$pid" >"$dir/server.pid"
    for _ in $(seq 1 150); do
        if admin "$dir" --connect-timeout=1 ping >/dev/null 2>&1; then
            echo "$port" >"$dir/port"
            return 0
        fi
        if ! kill -0 "$pid" 2>/dev/null; then
            return 1
        fi
        sleep 0.2
    done
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    return 1
}

start() {
    local driver dir
    driver=$(find_driver)
    dir=$(mktemp -d "${TMPDIR:-/tmp}/sales-mariadb.XXXXXX")
    log "folder $dir"
    if ! mariadb-install-db --no-defaults --user="$(id -un)" --datadir="$dir/data" \
        --auth-root-authentication-method=normal --skip-test-db >"$dir/install.log" 2>&1; then
        log "mariadb-install-db failed:"
        cat "$dir/install.log" >&2
        rm -rf "$dir"
        exit 1
    fi

    local started=""
    for port in 3307 3308 3309 3310 3317 3327 3337 3347 13306 23306; do
        port_in_use "$port" && continue
        if try_start "$dir" "$port"; then
            started=$port
            break
        fi
        log "could not start on port $port, trying another"
    done
    if [[ -z "$started" ]]; then
        log "the server did not start:"
        cat "$dir/mysqld.err" >&2 || true
        rm -rf "$dir"
        exit 1
    fi
    log "server up on port $started and $dir/mysql.sock"

    mariadb --no-defaults --socket="$dir/mysql.sock" -uroot \
        -e "create database \`$DATABASE\` default character set utf8mb4 collate utf8mb4_general_ci"

    cat >"$dir/odbcinst.ini" <<EOF
[MariaDB]
Description=MariaDB Connector/ODBC
Driver=$driver
EOF
    # The program supplies no user or password, so the data source carries them.
    cat >"$dir/odbc.ini" <<EOF
[$DSN_NAME]
Description=営業手帳 integration tests
Driver=MariaDB
Socket=$dir/mysql.sock
Database=$DATABASE
User=root
Password=
CHARSET=utf8mb4

[${DSN_NAME}_cp932]
Description=営業手帳 integration tests: a character set the program refuses
Driver=MariaDB
Socket=$dir/mysql.sock
Database=$DATABASE
User=root
Password=
CHARSET=cp932
EOF
    print_env "$dir"
}

resolve_dir() {
    local dir=${1:-${SALES_MARIADB_DIR:-}}
    if [[ -z "$dir" ]]; then
        log "no folder given and SALES_MARIADB_DIR is not set"
        exit 2
    fi
    echo "$dir"
}

stop() {
    local dir
    dir=$(resolve_dir "${1:-}")
    [[ -d "$dir" ]] || return 0
    # Only a folder this script made is removed.
    if [[ ! -f "$dir/odbcinst.ini" && ! -d "$dir/data" ]]; then
        log "$dir does not look like a server folder; left alone"
        exit 1
    fi
    if [[ -S "$dir/mysql.sock" ]]; then
        admin "$dir" shutdown >/dev/null 2>&1 || true
    fi
    if [[ -f "$dir/server.pid" ]]; then
        local pid
        pid=$(cat "$dir/server.pid")
        for _ in $(seq 1 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.2
        done
        if kill -0 "$pid" 2>/dev/null; then
            kill -9 "$pid" 2>/dev/null || true
        fi
    fi
    rm -rf "$dir"
    log "stopped"
}

case "${1:-}" in
    start) start ;;
    stop) stop "${2:-}" ;;
    env)
        dir=$(resolve_dir "${2:-}")
        print_env "$dir"
        ;;
    *)
        echo "usage: $0 start|stop [DIR]|env [DIR]" >&2
        exit 2
        ;;
esac
