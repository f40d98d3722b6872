#!/usr/bin/env bash
# Throw-away SMTP and POP3 servers on 127.0.0.1 for the mail integration tests.
#
#   mail_servers.sh start        start both in a new temporary folder; prints export lines
#   mail_servers.sh stop [DIR]   stop them and remove the folder (DIR defaults to $SALES_MAIL_DIR)
#
# SMTP: aiosmtpd (smtp_server.py) with a plain listener, a STARTTLS+AUTH listener and an implicit
# TLS listener, spooling what it accepts into $DIR/spool. POP3: a private dovecot instance with one
# passwd-file user and a maildir ($DIR/Maildir), plain+STLS and implicit TLS listeners. Both use a
# self-signed certificate made here; the program is told to trust it through SALES_MAIL_CA_FILE.
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
PYTHON=/usr/bin/python3
# /usr/sbin is not on every user's PATH.
DOVECOT=$(command -v dovecot || echo /usr/sbin/dovecot)
MAIL_USER=mailuser
MAIL_PASSWORD='pa55-word'

log() { echo "mail_servers: $*" >&2; }

free_port() {
    "$PYTHON" -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'
}

wait_for_port() {
    local port=$1
    for _ in $(seq 1 100); do
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && return 0
        sleep 0.1
    done
    return 1
}

print_env() {
    local dir=$1 smtp pop
    read -r -a smtp <"$dir/smtp_ports"
    read -r -a pop <"$dir/pop_ports"
    echo "export SALES_MAIL_DIR='$dir'"
    echo "export SALES_MAIL_CA_FILE='$dir/cert.pem'"
    echo "export SALES_TEST_SMTP_SPOOL='$dir/spool'"
    echo "export SALES_TEST_SMTP_PLAIN='127.0.0.1:${smtp[0]}'"
    echo "export SALES_TEST_SMTP_SECURE='127.0.0.1:${smtp[1]}'"
    echo "export SALES_TEST_SMTPS='smtps://127.0.0.1:${smtp[2]}'"
    echo "export SALES_TEST_POP3='127.0.0.1:${pop[0]}'"
    echo "export SALES_TEST_POP3S='pop3s://127.0.0.1:${pop[1]}'"
    echo "export SALES_TEST_MAILDIR='$dir/Maildir'"
    echo "export SALES_TEST_MAIL_USER='$MAIL_USER'"
    echo "export SALES_TEST_MAIL_PASSWORD='$MAIL_PASSWORD'"
}

start_smtp() {
    local dir=$1
    "$PYTHON" "$HERE/smtp_server.py" "$dir/spool" "$dir/cert.pem" "$dir/key.pem" "$MAIL_USER" "$MAIL_PASSWORD" \
        "$dir/smtp_ports" </dev/null >"$dir/smtp.log" 2>&1 &
    echo $! >"$dir/smtp.pid"
    for _ in $(seq 1 150); do
        [[ -f "$dir/smtp_ports" ]] && return 0
        kill -0 "$(cat "$dir/smtp.pid")" 2>/dev/null || break
        sleep 0.1
    done
    log "the SMTP server did not start:"
    cat "$dir/smtp.log" >&2
    return 1
}

write_dovecot_conf() {
    local dir=$1 pop=$2 pops=$3 login_user internal_user internal_group
    # As root, dovecot insists on its own unprivileged users; otherwise everything runs as us.
    if [[ $(id -u) -eq 0 ]]; then
        login_user=dovenull internal_user=dovecot internal_group=dovecot
    else
        login_user=$(id -un) internal_user=$(id -un) internal_group=$(id -gn)
    fi
    cat >"$dir/dovecot.conf" <<CONF
base_dir = $dir/run
state_dir = $dir/state
log_path = $dir/dovecot.log
protocols = pop3
listen = 127.0.0.1
ssl = yes
ssl_cert = <$dir/cert.pem
ssl_key = <$dir/key.pem
disable_plaintext_auth = no
auth_mechanisms = plain login
auth_failure_delay = 0
first_valid_uid = 1
first_valid_gid = 1
default_login_user = $login_user
default_internal_user = $internal_user
default_internal_group = $internal_group
mail_location = maildir:$dir/Maildir
pop3_uidl_format = %g
passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%u $dir/passwd
}
userdb {
  driver = passwd-file
  args = username_format=%u $dir/passwd
}
service pop3-login {
  inet_listener pop3 {
    address = 127.0.0.1
    port = $pop
  }
  inet_listener pop3s {
    address = 127.0.0.1
    port = $pops
    ssl = yes
  }
}
service imap-login {
  inet_listener imap {
    port = 0
  }
  inet_listener imaps {
    port = 0
  }
}
service stats {
  unix_listener stats-reader {
    user = $internal_user
  }
  unix_listener stats-writer {
    user = $internal_user
  }
}
CONF
}

start_pop() {
    local dir=$1 uid gid
    if [[ $(id -u) -eq 0 ]]; then
        uid=$(id -u dovecot) gid=$(id -g dovecot)
    else
        uid=$(id -u) gid=$(id -g)
    fi
    mkdir -p "$dir/Maildir/new" "$dir/Maildir/cur" "$dir/Maildir/tmp" "$dir/run" "$dir/state"
    echo "$MAIL_USER:{PLAIN}$MAIL_PASSWORD:$uid:$gid::$dir" >"$dir/passwd"
    chown -R "$uid:$gid" "$dir/Maildir"
    # The tests drop messages into the maildir: let every user write there.
    chmod -R a+rwX "$dir/Maildir"
    for _ in 1 2 3 4 5; do
        local pop pops
        pop=$(free_port)
        pops=$(free_port)
        [[ "$pop" == "$pops" ]] && continue
        write_dovecot_conf "$dir" "$pop" "$pops"
        if "$DOVECOT" -c "$dir/dovecot.conf" 2>>"$dir/dovecot.start.log" && wait_for_port "$pop" && wait_for_port "$pops"; then
            echo "$pop $pops" >"$dir/pop_ports"
            return 0
        fi
        log "dovecot did not come up on $pop/$pops, trying others"
        stop_pop "$dir"
    done
    log "dovecot did not start:"
    cat "$dir/dovecot.start.log" "$dir/dovecot.log" >&2 2>/dev/null || true
    return 1
}

stop_pop() {
    local dir=$1 pid
    [[ -f "$dir/run/master.pid" ]] || return 0
    pid=$(cat "$dir/run/master.pid")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
    rm -f "$dir/run/master.pid"
}

stop_smtp() {
    local dir=$1 pid
    [[ -f "$dir/smtp.pid" ]] || return 0
    pid=$(cat "$dir/smtp.pid")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
    rm -f "$dir/smtp.pid"
}

start() {
    local dir
    dir=$(mktemp -d "${TMPDIR:-/tmp}/sales-mail.XXXXXX")
    # dovecot's unprivileged processes must reach their sockets below this folder.
    chmod 755 "$dir"
    touch "$dir/.mail_servers"
    mkdir -p "$dir/spool"
    if ! openssl req -x509 -newkey rsa:2048 -nodes -keyout "$dir/key.pem" -out "$dir/cert.pem" -days 2 \
        -subj /CN=localhost -addext "subjectAltName=DNS:localhost,IP:127.0.0.1" >"$dir/openssl.log" 2>&1; then
        log "openssl could not make the test certificate:"
        cat "$dir/openssl.log" >&2
        rm -rf "$dir"
        exit 1
    fi
    chmod 644 "$dir/cert.pem" "$dir/key.pem"
    if ! start_smtp "$dir" || ! start_pop "$dir"; then
        stop_smtp "$dir"
        stop_pop "$dir"
        rm -rf "$dir"
        exit 1
    fi
    log "SMTP $(cat "$dir/smtp_ports"), POP3 $(cat "$dir/pop_ports") in $dir"
    print_env "$dir"
}

stop() {
    local dir=${1:-${SALES_MAIL_DIR:-}}
    [[ -n "$dir" && -d "$dir" ]] || return 0
    if [[ ! -f "$dir/.mail_servers" ]]; then
        log "$dir does not look like a mail server folder; left alone"
        exit 1
    fi
    stop_smtp "$dir"
    stop_pop "$dir"
    rm -rf "$dir"
    log "stopped"
}

case "${1:-}" in
    start) start ;;
    stop) stop "${2:-}" ;;
    *)
        echo "usage: $0 start|stop [DIR]" >&2
        exit 2
        ;;
esac
