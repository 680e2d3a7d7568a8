#!/usr/bin/env bash
# Builds the Debian package in a build folder (default build/) and checks it:
# lintian (no error or warning), its file list, the desktop entry and
# AppStream metadata, the manual page against the program's commands, the
# changelog against the version, and the program unpacked into a temporary
# root answering --version without a display.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${1:-build}"
for tool in lintian desktop-file-validate appstreamcli; do
  command -v "$tool" > /dev/null || { echo "check-package: $tool is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
done
[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
# Only what the package holds, as scripts/build.sh --program builds it.
cmake --build "$build" -j"$(nproc)" --target dexmira dexmira_data

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
arch=$(dpkg --print-architecture)
deb="$build/dexmira_${version}_${arch}.deb"
rm -f "$deb"
(cd "$build" && cpack -G DEB >/dev/null)
[ -f "$deb" ] || { echo "check-package: no $deb was made" >&2; exit 1; }

fail=0
listing=$(dpkg-deb -c "$deb")
for path in ./usr/bin/dexmira \
            ./usr/share/applications/dexmira.desktop \
            ./usr/share/icons/hicolor/scalable/apps/dexmira.svg \
            ./usr/share/icons/hicolor/48x48/apps/dexmira.png \
            ./usr/share/icons/hicolor/128x128/apps/dexmira.png \
            ./usr/share/icons/hicolor/256x256/apps/dexmira.png \
            ./usr/share/metainfo/io.github.dexmira.Dexmira.metainfo.xml \
            ./usr/share/man/man1/dexmira.1.gz \
            ./usr/share/doc/dexmira/copyright \
            ./usr/share/doc/dexmira/changelog.gz \
            ./usr/share/bash-completion/completions/dexmira; do
  if ! grep -q " $path\$" <<<"$listing"; then
    echo "check-package: $path is missing from $deb" >&2
    fail=1
  fi
done
depends=$(dpkg-deb -f "$deb" Depends)
if [ -z "$depends" ]; then
  echo "check-package: the package names no dependencies (dpkg-shlibdeps did not run)" >&2
  fail=1
fi

root=$(mktemp -d /tmp/dexmira-package-XXXXXX)
trap 'rm -rf "$root"' EXIT
dpkg -x "$deb" "$root"
desktop-file-validate "$root/usr/share/applications/dexmira.desktop" || fail=1
appstreamcli validate --no-net "$root/usr/share/metainfo/io.github.dexmira.Dexmira.metainfo.xml" || fail=1
bash -n "$root/usr/share/bash-completion/completions/dexmira" || fail=1
answer=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$root/usr/bin/dexmira" --version) || fail=1
if [ "$answer" != "Dexmira $version" ]; then
  echo "check-package: the unpacked program answered '$answer' to --version" >&2
  fail=1
fi
# Every command of the usage has its entry in the manual page, which has
# the sections a user looks for.
man_page=$(zcat "$root/usr/share/man/man1/dexmira.1.gz" | sed 's/\\-/-/g')
for command in $("$root/usr/bin/dexmira" --help | sed -n 's/^usage: dexmira \([a-z-]*\) .*/\1/p'); do
  grep -q "^\.B $command " <<<"$man_page" || { echo "check-package: the manual page lacks '$command'" >&2; fail=1; }
done
for section in SYNOPSIS COMMANDS '"EXIT STATUS"' FILES ENVIRONMENT EXAMPLES; do
  grep -q "^\.SH $section\$" <<<"$man_page" || { echo "check-package: the manual page lacks $section" >&2; fail=1; }
done
logged=$(zcat "$root/usr/share/doc/dexmira/changelog.gz" | sed -n '1s/^dexmira (\([^)]*\)).*/\1/p')
if [ "$logged" != "$version" ]; then
  echo "check-package: the changelog's last entry is for '$logged', not $version (data/doc/changelog)" >&2
  fail=1
fi
# lintian: no error and no warning. Its informational notes are not
# failures: the program is not built with _FORTIFY_SOURCE, strip keeps the
# .comment section, and "unknow" is a string the compiler cut out of a longer
# one (the source says "unknown").
if ! lintian --fail-on error,warning --allow-root "$deb"; then
  echo "check-package: lintian found errors or warnings in $deb" >&2
  fail=1
fi
# In CI (as root, CI=true) the package is also installed for real with its
# dependencies, as a user would, then removed again.
if [ "${CI:-}" = "true" ] && [ "$(id -u)" -eq 0 ]; then
  if DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$(cd "$(dirname "$deb")" && pwd)/$(basename "$deb")" > /dev/null; then
    installed=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM /usr/bin/dexmira --version) || fail=1
    [ "$installed" = "Dexmira $version" ] || { echo "check-package: the installed program answered '$installed'" >&2; fail=1; }
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -q dexmira > /dev/null || true
  else
    echo "check-package: apt-get install of $deb failed" >&2
    fail=1
  fi
fi
[ "$fail" -eq 0 ] && echo "check-package: $deb ($depends) is complete"
exit "$fail"
