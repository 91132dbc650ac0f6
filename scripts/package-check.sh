#!/usr/bin/env bash
# Builds the release preset and its Debian package, installs the package,
# checks the installed program and desktop files, then removes it again
# and checks that nothing of it is left. The machine ends as it started:
# packages pulled in only for the install are purged too. Refuses to run
# when a tessaroon package is already installed, since removing it would
# change the machine.
#   scripts/package-check.sh
set -euo pipefail
cd "$(dirname "$0")/.."

SUDO=""
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
export DEBIAN_FRONTEND=noninteractive

if dpkg-query -W -f='${Status}' tessaroon 2>/dev/null | grep -q "installed"; then
  echo "a tessaroon package is installed already; remove it first (apt-get remove --purge tessaroon)" >&2
  exit 1
fi

bash scripts/install-deps.sh

launcher=()
if command -v ccache >/dev/null; then launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi
echo "== Release build"
cmake --preset release "${launcher[@]}"
cmake --build --preset release --parallel "$(nproc)"
echo "== Debian package"
build=build/release
rm -f "$build"/tessaroon_*.deb
(cd "$build" && cpack -G DEB)
debs=("$build"/tessaroon_*.deb)
if [ "${#debs[@]}" != 1 ] || [ ! -f "${debs[0]}" ]; then
  echo "cpack made no single tessaroon_*.deb in $build" >&2
  exit 1
fi
deb=$(realpath "${debs[0]}")
dpkg-deb --info "$deb" | sed -n '/Package:/,$p'

work=$(mktemp -d)
before="$work/packages-before"
dpkg-query -W -f='${Package}:${Architecture}\n' | sort >"$before"

remove_package() {
  if dpkg-query -W -f='${Status}' tessaroon 2>/dev/null | grep -q "installed"; then
    $SUDO apt-get remove --purge -y tessaroon >/dev/null
  fi
  # Whatever the install pulled in goes too.
  local extra
  extra=$(comm -13 "$before" <(dpkg-query -W -f='${Package}:${Architecture}\n' | sort) || true)
  if [ -n "$extra" ]; then
    # shellcheck disable=SC2086
    $SUDO apt-get remove --purge -y $extra >/dev/null
  fi
}
cleanup() {
  remove_package || true
  rm -rf "$work"
}
trap cleanup EXIT

echo "== Install"
# apt reads a local .deb as its own unprivileged user; a copy it can read.
cp "$deb" "$work/" && chmod 755 "$work" && chmod 644 "$work/$(basename "$deb")"
$SUDO apt-get install -y "$work/$(basename "$deb")"

installed=$(dpkg -L tessaroon)
for f in /usr/bin/tessaroon \
  /usr/share/applications/example.tessaroon.Tessaroon.desktop \
  /usr/share/metainfo/example.tessaroon.Tessaroon.metainfo.xml \
  /usr/share/man/man1/tessaroon.1 \
  /usr/share/icons/hicolor/scalable/apps/tessaroon.svg \
  /usr/share/icons/hicolor/{16x16,22x22,24x24,32x32,48x48,64x64,128x128,256x256}/apps/tessaroon.png; do
  if [ ! -f "$f" ] || ! grep -qx "$f" <<<"$installed"; then
    echo "the package does not install $f" >&2
    exit 1
  fi
done

echo "== The installed program"
command -v tessaroon | grep -qx /usr/bin/tessaroon
# Read whole, not through a pipe grep -q closes early: the usage is longer
# than one write, and the program would die of SIGPIPE on the next.
tessaroon --help >"$work/usage"
grep -q "tessaroon merge -o TARGET \[--memory SIZE\] SOURCE" "$work/usage"
grep -q "tessaroon list \[STEP...\] -o TARGET" "$work/usage"
cd "$work"
# Two address lists in GBK with CR LF ends; the merge sorts them, keeps
# the first of lines that differ only in case and passes GBK bytes as they
# are.
printf 'http://b.example/\r\nhttp://d.example/\xd6\xd0\xce\xc4\r\n' >A
printf 'HTTP://B.EXAMPLE/\r\nhttp://a.example/\r\n' >B
tessaroon merge -o OUT A B
printf 'http://a.example/\r\nhttp://b.example/\r\nhttp://d.example/\xd6\xd0\xce\xc4\r\n' >EXPECTED
if ! cmp OUT EXPECTED; then
  od -c OUT >&2
  echo "the installed merge wrote the wrong bytes" >&2
  exit 1
fi
set +e
tessaroon merge 2>/dev/null
status=$?
set -e
if [ "$status" != 2 ]; then
  echo "tessaroon merge without arguments exited $status, not 2" >&2
  exit 1
fi
cd - >/dev/null

echo "== Desktop files"
desktop-file-validate /usr/share/applications/example.tessaroon.Tessaroon.desktop
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net /usr/share/metainfo/example.tessaroon.Tessaroon.metainfo.xml
else
  echo "appstreamcli is not installed: the description is not validated"
fi
man -l /usr/share/man/man1/tessaroon.1 >/dev/null 2>&1 || { echo "man cannot read the manual page" >&2; exit 1; }

echo "== Remove"
remove_package
if dpkg -L tessaroon >/dev/null 2>&1; then
  echo "dpkg still knows tessaroon after the purge" >&2
  exit 1
fi
for f in $installed; do
  # Shared folders (/usr, /usr/share/icons/hicolor, ...) stay; the
  # package's own files may not.
  if [ -e "$f" ] && [ ! -d "$f" ]; then
    echo "$f is left after the purge" >&2
    exit 1
  fi
done
if ! diff "$before" <(dpkg-query -W -f='${Package}:${Architecture}\n' | sort); then
  echo "the installed packages differ from before the check" >&2
  exit 1
fi
echo "== The package installs, works and goes away cleanly"
