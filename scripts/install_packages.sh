#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing 営業手帳 need, when missing.
# Sourced by run.sh and test.sh; uses sudo when not run as root.

SALES_PACKAGES=(g++ cmake ninja-build qt6-base-dev libqt6sql6-sqlite libqt6sql6-odbc unixodbc-dev odbc-mariadb
    mariadb-server tdsodbc libcurl4-openssl-dev libgmime-3.0-dev libbenchmark-dev xvfb xauth fonts-noto-cjk
    imagemagick qt6-translations-l10n openssl python3-aiosmtpd dovecot-pop3d python3-scipy python3-numpy
    valgrind poppler-utils libicu-dev clang librsvg2-bin desktop-file-utils dpkg-dev file
    # Refresh tokens of a mail sign-in in the user's keyring (Qt Keychain over the Secret Service).
    qtkeychain-qt6-dev
    # IMAP with XOAUTH2/OAUTHBEARER for the mail tests (dovecot's oauth2 passdb).
    dovecot-imapd
    # A real Secret Service for the keyring test, in a private D-Bus session.
    gnome-keyring dbus-daemon
    # fontTools: the printing font (a copy of Noto Sans CJK JP whose PDF text reads back), made at build time
    python3-fonttools
)
# Phone numbers in the Japanese grouping.
SALES_PACKAGES+=(libphonenumber-dev)
# Japan Post's postal data arrives zipped (sales-cli postal update).
SALES_PACKAGES+=(libzip-dev)
# The embedded file's bulk inserts (the customer import) bind values through SQLite's own API.
SALES_PACKAGES+=(libsqlite3-dev)

install_missing_packages() {
    local missing=()
    for package in "${SALES_PACKAGES[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$package")
        fi
    done
    [[ ${#missing[@]} -eq 0 ]] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=()
    [[ $(id -u) -ne 0 ]] && sudo=(sudo)
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
}
