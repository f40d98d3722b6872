#!/usr/bin/env bash
# Throw-away SMTP, POP3, IMAP and OAuth2 servers on 127.0.0.1 for the mail integration tests.
#
#   mail_servers.sh start        start both in a new temporary folder; prints export lines
#   mail_servers.sh stop [DIR]   stop them and remove the folder (DIR defaults to $SALES_MAIL_DIR)
#
# OAuth2: oauth_server.py, a small authorization server (PKCE, refresh, introspection).
# SMTP: aiosmtpd (smtp_server.py) with a plain listener, a STARTTLS+AUTH listener, an implicit TLS
# listener and two listeners that take only bearer tokens (XOAUTH2 and OAUTHBEARER, or XOAUTH2
# alone), spooling what it accepts into $DIR/spool. POP3 and IMAP: a private dovecot instance with
# one passwd-file user and a maildir ($DIR/Maildir), plain+STLS/STARTTLS and implicit TLS listeners,
# PLAIN/LOGIN with the password and XOAUTH2/OAUTHBEARER with a token that the OAuth2 server says is
# active (an oauth2 passdb). SMTP and dovecot use a self-signed certificate made here; the program is
# told to trust it through SALES_MAIL_CA_FILE.
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
    local dir=$1 smtp pop oauth
    read -r -a smtp <"$dir/smtp_ports"
    read -r -a pop <"$dir/pop_ports"
    oauth=$(cat "$dir/oauth_port")
    echo "export SALES_MAIL_DIR='$dir'"
    echo "export SALES_TEST_OAUTH='http://127.0.0.1:$oauth'"
    echo "export SALES_TEST_SMTP_OAUTH='127.0.0.1:${smtp[3]}'"
    echo "export SALES_TEST_SMTP_XOAUTH2='127.0.0.1:${smtp[4]}'"
    echo "export SALES_TEST_IMAP='imap://127.0.0.1:${pop[2]}'"
    echo "export SALES_TEST_IMAPS='imaps://127.0.0.1:${pop[3]}'"
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

start_oauth() {
    local dir=$1
    "$PYTHON" "$HERE/oauth_server.py" "$MAIL_USER" "$dir/oauth_port" </dev/null >"$dir/oauth.log" 2>&1 &
    echo $! >"$dir/oauth.pid"
    for _ in $(seq 1 100); do
        [[ -f "$dir/oauth_port" ]] && return 0
        kill -0 "$(cat "$dir/oauth.pid")" 2>/dev/null || break
        sleep 0.1
    done
    log "the OAuth2 server did not start:"
    cat "$dir/oauth.log" >&2
    return 1
}

start_smtp() {
    local dir=$1
    "$PYTHON" "$HERE/smtp_server.py" "$dir/spool" "$dir/cert.pem" "$dir/key.pem" "$MAIL_USER" "$MAIL_PASSWORD" \
        "$dir/smtp_ports" "http://127.0.0.1:$(cat "$dir/oauth_port")" </dev/null >"$dir/smtp.log" 2>&1 &
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
    local dir=$1 pop=$2 pops=$3 imap=$4 imaps=$5 login_user internal_user internal_group
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
protocols = pop3 imap
listen = 127.0.0.1
ssl = yes
ssl_cert = <$dir/cert.pem
ssl_key = <$dir/key.pem
disable_plaintext_auth = no
auth_mechanisms = plain login xoauth2 oauthbearer
auth_failure_delay = 0
first_valid_uid = 1
first_valid_gid = 1
default_login_user = $login_user
default_internal_user = $internal_user
default_internal_group = $internal_group
mail_location = maildir:$dir/Maildir
pop3_uidl_format = %g
# The password first; a token fails it and goes on to the authorization server.
passdb {
  driver = passwd-file
  args = scheme=PLAIN username_format=%u $dir/passwd
}
passdb {
  driver = oauth2
  mechanisms = xoauth2 oauthbearer
  args = $dir/dovecot-oauth2.conf.ext
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
    address = 127.0.0.1
    port = $imap
  }
  inet_listener imaps {
    address = 127.0.0.1
    port = $imaps
    ssl = yes
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
    cat >"$dir/dovecot-oauth2.conf.ext" <<CONF
introspection_mode = post
introspection_url = http://127.0.0.1:$(cat "$dir/oauth_port")/introspect
force_introspection = yes
username_attribute = username
active_attribute = active
active_value = true
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
        local pop pops imap imaps
        pop=$(free_port)
        pops=$(free_port)
        imap=$(free_port)
        imaps=$(free_port)
        [[ $(printf '%s\n' "$pop" "$pops" "$imap" "$imaps" | sort -u | wc -l) -eq 4 ]] || continue
        write_dovecot_conf "$dir" "$pop" "$pops" "$imap" "$imaps"
        if "$DOVECOT" -c "$dir/dovecot.conf" 2>>"$dir/dovecot.start.log" && wait_for_port "$pop" &&
            wait_for_port "$pops" && wait_for_port "$imap" && wait_for_port "$imaps"; then
            echo "$pop $pops $imap $imaps" >"$dir/pop_ports"
            return 0
        fi
        log "dovecot did not come up on $pop/$pops/$imap/$imaps, trying others"
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

stop_pid_file() {
    local file=$1 pid
    [[ -f "$file" ]] || return 0
    pid=$(cat "$file")
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 1 50); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -9 "$pid" 2>/dev/null || true
    rm -f "$file"
}

stop_smtp() { stop_pid_file "$1/smtp.pid"; }
stop_oauth() { stop_pid_file "$1/oauth.pid"; }

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
    if ! start_oauth "$dir" || ! start_smtp "$dir" || ! start_pop "$dir"; then
        stop_smtp "$dir"
        stop_pop "$dir"
        stop_oauth "$dir"
        rm -rf "$dir"
        exit 1
    fi
    log "SMTP $(cat "$dir/smtp_ports"), POP3/IMAP $(cat "$dir/pop_ports"), OAuth2 $(cat "$dir/oauth_port") in $dir"
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
    stop_oauth "$dir"
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
