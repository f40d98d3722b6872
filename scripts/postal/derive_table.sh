#!/usr/bin/env bash
# Makes resources/postal/postal.dat, the postal table shipped with the program, from the postal data
# that the npm package jquery-jpostal-ja carries (Japan Post's KEN_ALL with its notes already read).
# Run by hand when the shipped data is to be renewed; building and running the program need no npm.
#   scripts/postal/derive_table.sh [BUILD_DIR]      (BUILD_DIR holds a built sales-cli; default build)
# POSTAL_PACKAGE_VERSION picks another version of the package; POSTAL_DATE the data's date.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
BUILD=${1:-$ROOT/build}
PACKAGE=jquery-jpostal-ja
VERSION=${POSTAL_PACKAGE_VERSION:-2.14.73}
# The package's information record of 2.14.73 reads "ver2.13 2025-09-25 2025-09-30": Japan Post's
# data of the end of September 2025.
DATE=${POSTAL_DATE:-2025/09/30}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
(cd "$work" && npm pack --silent "$PACKAGE@$VERSION" > /dev/null && tar xzf "$PACKAGE-$VERSION.tgz")
info=$(python3 "$ROOT/scripts/postal/jpostal_to_ken_all.py" "$work/package/json" "$work/utf_ken_all.csv")
echo "$PACKAGE $VERSION: $info"
"$BUILD/sales-cli" postal update "$work/utf_ken_all.csv" --date "$DATE" \
    --source "日本郵便 KEN_ALL（npm: $PACKAGE $VERSION、$info）" --output "$ROOT/resources/postal/postal.dat"
