#!/usr/bin/env bash
# Builds the Debian package of 営業手帳 (eigyo-techo_<version>_<arch>.deb) in the top folder.
#   ./package.sh                      build into build/ and package from there
#   BUILD_DIR=build-x ./package.sh    use another build folder
# Install it with: sudo apt install ./eigyo-techo_*.deb
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
# Only what the package holds: the programs, the icons and the manual page.
cmake --build "$BUILD_DIR" --parallel "$(nproc)" --target sales sales-cli sales_install_files
(cd "$BUILD_DIR" && cpack -G DEB -B "$BUILD_DIR/package")
deb=$(ls -t "$BUILD_DIR"/package/eigyo-techo_*.deb | head -n 1)
cp "$deb" "$ROOT/"
echo "Package: $ROOT/$(basename "$deb")"
