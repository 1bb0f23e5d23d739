#!/usr/bin/env bash
# An install after `./dev play`, which builds the target velmora and nothing
# else, on a fresh build folder: building that target must make every file the
# install copies from the build, and an install before any build must stop
# with one line and leave nothing behind. Compiling the program takes minutes,
# so this reads the build graph of a freshly configured folder instead; the
# package build (./dev deb) runs the real sequence and tests/package_test.sh
# checks the tree it installs.
# Usage: tests/install_after_play_test.sh   (run by ctest)
set -euo pipefail
source_dir="$(cd "$(dirname "$0")/.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
build="$work/build"
failures=0
fail() {
  echo "install after play: $*" >&2
  failures=$((failures + 1))
}

cmake -S "$source_dir" -B "$build" -G Ninja -DVELMORA_BUILD_TESTS=OFF -DVELMORA_WEB=OFF >"$work/configure.log" 2>&1 ||
  { cat "$work/configure.log" >&2; exit 1; }

# What the install copies from the build, as the install itself checks it.
mapfile -t outputs <"$build/installed-outputs.txt"
[ ${#outputs[@]} -gt 0 ] || fail "installed-outputs.txt lists nothing"

# Each of them is in the graph of the target velmora.
graph="$(ninja -C "$build" -t graph velmora | grep -o 'label="[^"]*"' | sed 's/^label="//; s/"$//')"
for output in "${outputs[@]}"; do
  grep -qxF -e "${output#"$build"/}" -e "$output" <<<"$graph" ||
    fail "building the target velmora does not make $output, which the install copies"
done

# Before a build: status 1, one message that says what to build, nothing installed.
status=0
cmake --install "$build" --prefix "$work/prefix" >"$work/install.log" 2>&1 || status=$?
[ "$status" -eq 1 ] || fail "an install before the build exits with $status, not 1"
grep -q -- "--target velmora" "$work/install.log" || fail "the install does not say what to build: $(cat "$work/install.log")"
[ ! -e "$work/prefix" ] || fail "an install before the build left $(cd "$work/prefix" && find . | head -5)"

[ "$failures" -eq 0 ] || exit 1
echo "install after play: the target velmora makes all ${#outputs[@]} built files the install copies"
