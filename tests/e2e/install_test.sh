#!/usr/bin/env bash
# Installation as a user gets it: `cmake --install` into a temporary prefix must yield the
# three programs, menu entries that desktop-file-validate accepts, the autostart entry, the
# hicolor icons and the man pages; the Debian package from cpack must install with dpkg -i
# (needs root), run from /usr/bin and leave again with dpkg -r.
#
# usage: install_test.sh BUILD_DIR VERSION
set -euo pipefail
build=$(cd "$1" && pwd)
version=$2
work=$(mktemp -d)
installed_deb=
cleanup() {
  if [[ -n $installed_deb ]]; then dpkg_waiting -r lumora || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "install_test: FAIL: $*" >&2; exit 1; }
# dpkg, waiting up to three minutes while another package installation holds its lock.
dpkg_waiting() {
  local out
  for _ in $(seq 60); do
    out=$(dpkg "$@" 2>&1) && return 0
    grep -q 'lock' <<<"$out" || { echo "$out" >&2; return 1; }
    sleep 3
  done
  echo "$out" >&2
  return 1
}

prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

for f in bin/lumwatchd bin/lumsetup bin/lumcheck; do
  [[ -x $prefix/$f ]] || fail "$f is not installed"
done
for f in share/applications/lumwatchd.desktop share/applications/lumsetup.desktop \
         share/lumora/autostart/lumwatchd.desktop; do
  [[ -f $prefix/$f ]] || fail "$f is not installed"
  desktop-file-validate "$prefix/$f" || fail "desktop-file-validate rejects $f"
done
for f in share/applications/lumwatchd.desktop share/applications/lumsetup.desktop; do
  grep -q '^Name\[ja\]=' "$prefix/$f" || fail "$f has no Japanese name"
done
grep -qx 'Exec=lumwatchd' "$prefix/share/lumora/autostart/lumwatchd.desktop" \
  || fail "the autostart entry does not start lumwatchd"

# Each bitmap icon has the size of its folder.
for size in 16 22 24 32 48 64 128 256; do
  png=$prefix/share/icons/hicolor/${size}x${size}/apps/lumora.png
  [[ -f $png ]] || fail "no ${size}x${size} icon"
  python3 - "$png" "$size" <<'PY' || fail "$png is not a ${size}x${size} PNG"
import struct, sys
with open(sys.argv[1], "rb") as f:
    head = f.read(24)
size = int(sys.argv[2])
sys.exit(0 if head[:8] == b"\x89PNG\r\n\x1a\n" and struct.unpack(">II", head[16:24]) == (size, size) else 1)
PY
done
grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/lumora.svg" || fail "no scalable icon"

page=$(man -l "$prefix/share/man/man1/lumcheck.1.gz" 2>/dev/null | col -b)
[[ $page == *"lumcheck"*"--retrieve"* ]] || fail "the man page of lumcheck does not render"
page=$(man -l "$prefix/share/man/man1/lumwatchd.1.gz" 2>/dev/null | col -b)
[[ $page == *"lumwatchd"*"--command"*"mailer2"*"lumwatch.ini"* ]] \
  || fail "the man page of lumwatchd does not render"

# The installed programs answer --help and --version, and refuse other arguments.
[[ $("$prefix/bin/lumcheck" --version) == "lumcheck (Lumora) $version" ]] || fail "lumcheck --version"
[[ $("$prefix/bin/lumwatchd" --version) == "lumwatchd (Lumora) $version" ]] || fail "lumwatchd --version"
"$prefix/bin/lumwatchd" --help | grep -q '^使い方: lumwatchd' || fail "lumwatchd --help"
"$prefix/bin/lumcheck" --help | grep -q -- '--version' || fail "lumcheck --help lacks --version"
status=0
QT_QPA_PLATFORM=offscreen "$prefix/bin/lumwatchd" extra 2>"$work/err" || status=$?
[[ $status == 2 ]] || fail "lumwatchd with an argument ended with $status"
grep -q '引数は使いません' "$work/err" || fail "lumwatchd with an argument says: $(cat "$work/err")"

# The Debian package.
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" >/dev/null)
deb=$(ls "$work"/lumora_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
for p in libc6 libqt6widgets6 libqt6network6 qt6-qpa-plugins qt6-wayland libqt6keychain1 libsecret-1-0; do
  [[ $depends == *"$p"* ]] || fail "the package does not depend on $p: $depends"
done
if dpkg-query -W -f='${Status}' lumora 2>/dev/null | grep -q 'ok installed'; then
  fail "a package lumora is installed on this machine already; not touching it"
fi
dpkg_waiting -i "$deb" || { installed_deb=1; fail "dpkg -i $deb"; }
installed_deb=1
[[ $(/usr/bin/lumcheck --version) == "lumcheck (Lumora) $version" ]] || fail "/usr/bin/lumcheck --version"
[[ -f /usr/share/applications/lumwatchd.desktop ]] || fail "the package has no menu entry"
dpkg_waiting -r lumora || fail "dpkg -r lumora"
installed_deb=
[[ ! -e /usr/bin/lumcheck ]] || fail "dpkg -r left /usr/bin/lumcheck"
echo "install_test: ok ($(basename "$deb"))"
