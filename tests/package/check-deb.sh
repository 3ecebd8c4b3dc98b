#!/usr/bin/env bash
# Makes the Debian package of a built tree and checks what a lab's machine would get from it:
# exactly the expected files and links, the control fields, the settings file as a conffile
# holding orvi's defaults, manual pages that format cleanly, and orvi-report running from an
# unpacked copy.
# Usage: check-deb.sh BUILD_DIR VERSION DEFAULT_SETTINGS_FILE
set -euo pipefail
build=$1 version=$2 settings=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

(cd "$build" && cpack -G DEB -B "$work/out" >"$work/cpack.log" 2>&1) || {
  cat "$work/cpack.log"
  exit 1
}
deb=$(echo "$work"/out/*.deb)

# Every entry but the folders, with its mode and owner; a link with its target.
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $1, $2, $6, $7, $8 }' | sed 's/ *$//' | sort -k3 >"$work/listing"
sort -k3 "$(dirname "$0")/../data/deb-contents.txt" >"$work/expected"
diff -u "$work/expected" "$work/listing" >&2 || fail "package contents differ (- expected, + package)"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = orvi ] || fail "Package: $(field Package)"
[ "$(field Version)" = "$version" ] || fail "Version: $(field Version), want $version"
[ "$(field Architecture)" = "$(dpkg --print-architecture)" ] || fail "Architecture: $(field Architecture)"
# Run time only: the libraries the programs link, and what they load without linking it.
depends=$(field Depends | tr -d ' ' | tr ',' '\n' | sed 's/(.*//' | sort)
for want in fonts-ipafont-gothic qt6-translations-l10n plplot-driver-cairo libqt6widgets6 \
  'libsdl2-2\.0-0' 'libplplot[0-9]+' libxcb1; do
  grep -Eqx "$want" <<<"$depends" || fail "Depends lacks $want: $(field Depends)"
done
if grep -E -e '-dev$|gtest|xvfb|xdotool|cmake' <<<"$depends" >&2; then
  fail "Depends holds build or test packages"
fi

dpkg-deb -e "$deb" "$work/control"
[ "$(cat "$work/control/conffiles")" = /opt/orvi/bin/orvi.ini ] ||
  fail "conffiles: $(cat "$work/control/conffiles" 2>/dev/null)"

root=$work/root
dpkg-deb -x "$deb" "$root"
cmp "$root/opt/orvi/bin/orvi.ini" "$settings" >&2 || fail "orvi.ini is not the file orvi writes"
while read -r link; do
  [ -e "$root$(readlink "$root/$link")" ] || fail "$link points to a file the package lacks"
done < <(cd "$root" && find . -type l)
for page in "$root"/opt/orvi/share/man/man1/*.1; do
  warnings=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww -z "$page" 2>&1)
  [ -z "$warnings" ] || fail "$(basename "$page"): $warnings"
done
out=$("$root/opt/orvi/bin/orvi-report" --version) || fail "orvi-report --version failed"
[ "$out" = "orvi-report $version" ] || fail "orvi-report --version: '$out'"

[ "$failures" -eq 0 ] || exit 1
echo "package $(basename "$deb") checked"
