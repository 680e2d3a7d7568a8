#!/usr/bin/env bash
# Installs the Debian packages Dexmira builds and tests with, when missing.
# With "fuzz": also clang, its libFuzzer/sanitizer runtimes and the symbolizer
# that scripts/ci-extra.sh needs.
set -euo pipefail
packages=(build-essential cmake ninja-build pkg-config ccache
  qt6-base-dev qt6-base-dev-tools libgl-dev libsqlite3-dev libcurl4-openssl-dev libsodium-dev openssl
  mdbtools-dev mdbtools libgtest-dev xvfb xauth fonts-nanum sqlite3 sqlite3-tools bc
  librsvg2-bin desktop-file-utils appstream dpkg-dev lintian
  qt6-tools-dev qt6-l10n-tools qt6-translations-l10n)
if [ "${1:-}" = "fuzz" ]; then
  packages+=(clang libclang-rt-14-dev llvm)
fi
missing=()
# node and npm run the mdb-reader checks of written Jet files; any node of
# 18 or later will do (Debian 12 has 18).
command -v node >/dev/null || packages+=(nodejs)
command -v npm >/dev/null || packages+=(npm)
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
$SUDO apt-get update -q
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${missing[@]}"
