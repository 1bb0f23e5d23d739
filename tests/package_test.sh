#!/usr/bin/env bash
# The Debian package as a user gets it: lintian finds no error or warning; it
# depends on run-time libraries only; it holds exactly the install tree under
# /usr (the licence as Debian's copyright file, the manual page compressed),
# its program stripped; and the program, unpacked anywhere, runs from there
# with the bundle beside it.
# Usage: tests/package_test.sh velmora_VERSION_ARCH.deb   (after ./dev deb)
set -euo pipefail
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
  echo "usage: $0 velmora_VERSION_ARCH.deb" >&2
  exit 2
fi
deb="$(cd "$(dirname "$1")" && pwd)/$(basename "$1")"
for tool in lintian dpkg-deb readelf; do
  command -v "$tool" >/dev/null || { echo "package: $tool is missing (./dev deb installs it)" >&2; exit 1; }
done
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "package: $*" >&2
  failures=$((failures + 1))
}

# Lintian: errors and warnings fail; the informational tags are shown.
# Its status is 1 when it reports an error, above 1 when it could not check.
status=0
lintian --info --display-info "$deb" 2>"$work/lintian.err" >"$work/lintian.log" || status=$?
grep -v "running with root privileges" "$work/lintian.err" >&2 || true
[ "$status" -le 1 ] || fail "lintian could not check the package (status $status)"
grep -E "^[EW]: " "$work/lintian.log" >&2 && fail "lintian reports errors or warnings"
grep -E "^[IP]: " "$work/lintian.log" | sed 's/^/package: lintian /' >&2 || true

# Depends holds shared libraries only, as dpkg-shlibdeps found them: no
# development package and no build tool.
depends="$(dpkg-deb -f "$deb" Pre-Depends Depends | sed 's/^[A-Za-z-]*: //' | tr -s ',|' '\n' |
  sed 's/(.*)//; s/ //g' | grep -v '^$' || true)"
[ -n "$depends" ] || fail "the package depends on nothing"
while read -r package; do
  case "$package" in
    *-dev | *-dev:*) fail "Depends names the development package $package" ;;
    lib*) ;;
    *) fail "Depends names $package, which is not a run-time library" ;;
  esac
done <<<"$depends"

# Exactly the install tree under /usr.
source "$(dirname "$0")/installed_files.sh"
root="$work/root"
dpkg-deb -x "$deb" "$root"
expected="$( (installed_files | sed 's|^share/doc/velmora/LICENSE$|share/doc/velmora/copyright|; s|\.1$|.1.gz|'
  echo share/doc/velmora/changelog.gz) | sed 's|^|usr/|' | sort)"
contents="$(cd "$root" && find . ! -type d | sed 's|^\./||' | sort)"
if ! difference="$(diff <(echo "$expected") <(echo "$contents"))"; then
  fail "the package's files differ from the expected ones (< missing, > unexpected):"$'\n'"$difference"
fi

velmora="$root/usr/bin/velmora"
readelf --section-headers "$velmora" | grep -qE '\.(symtab|debug_info)\b' && fail "the program is not stripped"

# Unpacked anywhere, the program runs from there, its version the package's.
mkdir "$work/elsewhere"
version="$(dpkg-deb -f "$deb" Version)"
printed="$(cd "$work/elsewhere" && "$velmora" --version 2>&1)" || true
[ "$printed" = "velmora $version" ] || fail "velmora --version prints '$printed', not 'velmora $version'"
if (cd "$work/elsewhere" && "$velmora" still --at 22 --out title.png 2>"$work/still.log"); then
  size="$(od -An -tx1 -j16 -N8 "$work/elsewhere/title.png" | tr -d ' \n')"
  [ "$size" = "000001e000000140" ] || fail "the still is not 480x320 (IHDR $size)"
else
  fail "the unpacked program could not write a still: $(cat "$work/still.log")"
fi
# It read the bundle beside it, not one installed in /usr: a picture broken
# there stops it.
: >"$root/usr/share/velmora/logo.png"
status=0
(cd "$work/elsewhere" && "$velmora" still --at 22 --out broken.png 2>"$work/broken.log") || status=$?
if [ "$status" -ne 255 ] || ! grep -q "Unable to load: logo.png" "$work/broken.log"; then
  fail "the unpacked program did not read the bundle beside it (status $status: $(cat "$work/broken.log"))"
fi

[ "$failures" -eq 0 ] || exit 1
echo "package: $(basename "$deb"): lintian clean, $(wc -l <<<"$depends") run-time dependencies," \
  "$(wc -l <<<"$contents") files, a still from the unpacked program"
