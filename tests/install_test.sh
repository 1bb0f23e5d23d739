#!/usr/bin/env bash
# The install tree as a distribution packages it: exactly the expected files,
# a program that runs from any folder and finds its bundle, desktop files the
# distribution's own validators accept, a manual page that renders cleanly and
# names every option, and a completion that offers commands, options and files.
# Usage: tests/install_test.sh BUILD_DIR VERSION   (run by ctest)
set -euo pipefail
build="$1"
version="$2"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
prefix="$work/usr"
failures=0
fail() {
  echo "install: $*" >&2
  failures=$((failures + 1))
}

for tool in desktop-file-validate appstreamcli man /usr/share/bash-completion/bash_completion; do
  command -v "$tool" >/dev/null || [ -e "$tool" ] ||
    { echo "install: $tool is missing (./dev test installs it)" >&2; exit 1; }
done
cmake --install "$build" --prefix "$prefix" >/dev/null

# Exactly these files: the program, its bundle, and what a desktop needs.
source "$(dirname "$0")/installed_files.sh"
mapfile -t expected < <(installed_files)
installed="$(cd "$prefix" && find . ! -type d | sed 's|^\./||' | sort)"
if ! difference="$(diff <(printf '%s\n' "${expected[@]}" | sort) <(echo "$installed"))"; then
  fail "the install tree differs from the expected one (< missing, > unexpected):"$'\n'"$difference"
fi

# The installed program, run from another folder, finds its bundle.
velmora="$prefix/bin/velmora"
mkdir "$work/elsewhere"
[ "$(cd "$work/elsewhere" && "$velmora" --version)" = "velmora $version" ] ||
  fail "--version does not print velmora $version"
if (cd "$work/elsewhere" && "$velmora" still --at 20.5 --out title.png 2>"$work/still.log"); then
  size="$(od -An -tx1 -j16 -N8 "$work/elsewhere/title.png" | tr -d ' \n')"
  [ "$size" = "000001e000000140" ] || fail "the still is not 480x320 (IHDR $size)"
else
  fail "the installed program could not write a still: $(cat "$work/still.log")"
fi

# The distribution's validators.
desktop-file-validate "$prefix/share/applications/velmora.desktop" >"$work/desktop.log" 2>&1 || true
! grep -qiE "error|warning" "$work/desktop.log" || fail "desktop-file-validate: $(cat "$work/desktop.log")"
appstreamcli validate-tree --no-net "$prefix" >"$work/appstream.log" 2>&1 ||
  fail "appstreamcli: $(cat "$work/appstream.log")"

# The manual page renders without a warning and names every option of every command.
page="$prefix/share/man/man1/velmora.1"
LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$page" 2>"$work/man.log" >/dev/null
[ ! -s "$work/man.log" ] || fail "man: $(cat "$work/man.log")"
rendered="$(LC_ALL=C.UTF-8 MANWIDTH=200 man -l "$page" 2>/dev/null)"
for command in "" play still bench capture; do
  for option in $("$velmora" $command --help | grep -oE '^  (-[a-z],)?--[a-z-]+' | sed 's/.*,//; s/ //g'); do
    grep -qe "$option" <<<"$rendered" || fail "the manual page does not name $option${command:+ (velmora $command)}"
  done
done

# Bash completion: commands, the command's options, files by extension.
completions() {  # completions WORD...: what bash offers for the last word
  (cd "$work/elsewhere" && PATH="$prefix/bin:$PATH" bash -c '
    source /usr/share/bash-completion/bash_completion
    source "$0"
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMP_LINE="$*"
    COMP_POINT=${#COMP_LINE}
    _velmora velmora "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf "%s\n" "${COMPREPLY[@]}" | sort' "$prefix/share/bash-completion/completions/velmora" "$@")
}
touch "$work/elsewhere/notes.txt" "$work/elsewhere/show.webm"
[ "$(completions velmora st)" = "still" ] || fail "completion: velmora st -> $(completions velmora st)"
[ "$(completions velmora capture --no)" = "--no-audio" ] || fail "completion: velmora capture --no"
[ "$(completions velmora --lo)" = "--loop" ] || fail "completion: velmora --lo -> $(completions velmora --lo)"
[ "$(completions velmora play --qu)" = "--quiet" ] || fail "completion: velmora play --qu"
[ "$(completions velmora still --out '')" = "title.png" ] || fail "completion: still --out offers other files"
[ "$(completions velmora capture --out '')" = "show.webm" ] || fail "completion: capture --out offers other files"
[ "$(completions velmora capture --format n)" = "nut" ] || fail "completion: capture --format n"

[ "$failures" -eq 0 ] || exit 1
echo "install: $(( ${#expected[@]} )) files, program, validators, manual page and completion all good"
