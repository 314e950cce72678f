#!/usr/bin/env bash
# The code's layout (.clang-format) and clang-tidy's checks (.clang-tidy).
# Usage: style.sh check BUILD_DIR | fix
#   check  clang-format --dry-run over every *.cpp and *.h outside the build
#          folders, then clang-tidy over the program's sources with
#          BUILD_DIR/compile_commands.json (after a build, so that the
#          generated moc files are there); exits 1 on any finding and says
#          what failed
#   fix    lays out every *.cpp and *.h with clang-format -i
# JOBS sets how many clang-tidy runs go side by side (default: every core).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
clang_format=${CLANG_FORMAT:-clang-format}
clang_tidy=${CLANG_TIDY:-clang-tidy}
jobs=${JOBS:-$(nproc)}

usage() { echo "usage: style.sh check BUILD_DIR | check-windows WINDOWS_BUILD_DIR | fix" >&2; exit 64; }

# Every C++ file of the tree, build folders (build, build-asan, ...) and
# hidden folders left out, and files a script writes ("written by
# scripts/casefold.pl" on their first line), which their script lays out.
sources=()
while IFS= read -r -d '' f; do
  head -n 1 "$f" | grep -q 'written by scripts/' || sources+=("$f")
done < <(find . \( -path './build*' -o -path './.*' \) -prune -o -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)

need() {
  command -v "$1" >/dev/null || { echo "style: $1 is not installed (scripts/deps.sh test installs it)" >&2; exit 1; }
}

case "${1:-}" in
  fix)
    [ $# -eq 1 ] || usage
    need "$clang_format"
    "$clang_format" -i --style=file "${sources[@]}"
    echo "style: laid out ${#sources[@]} files"
    exit 0
    ;;
  check | check-windows)
    [ $# -eq 2 ] || usage
    build=$2 mode=${1#check}
    mode=${mode#-}
    ;;
  *) usage ;;
esac

need "$clang_format"
need "$clang_tidy"
[ -f "$build/compile_commands.json" ] || {
  echo "style: $build/compile_commands.json is missing (configure $build with cmake first)" >&2
  exit 1
}

failures=()

# Layout: the files clang-format would change.
# The layout once, in the check of the Linux build.
if [ "$mode" != windows ]; then
  unformatted=()
  for f in "${sources[@]}"; do
    "$clang_format" --dry-run --Werror --style=file "$f" >/dev/null 2>&1 || unformatted+=("${f#./}")
  done
  if [ ${#unformatted[@]} -gt 0 ]; then
    echo "style: ${#unformatted[@]} files are not laid out as .clang-format says (scripts/style.sh fix lays them out):"
    printf '  %s\n' "${unformatted[@]}"
    failures+=("clang-format")
  fi
fi

# clang-tidy over the program's sources that a build's compile commands name
# and that match a pattern (not the tests, benchmarks, fuzz targets or build
# tools), with extra arguments for the compiler clang stands in for.
tidy() {
  local build=$1 program=$2
  shift 2
  local extra=("$@") logs units
  mapfile -t units < <(
    sed -n 's/^ *"file": *"\(.*\)",\{0,1\} *$/\1/p' "$build/compile_commands.json" |
      sed "s|^$root/||" | grep -E "$program" | sort -u)
  tidied=${#units[@]}
  if [ ${#units[@]} -eq 0 ]; then
    echo "style: $build/compile_commands.json names none of the program's sources" >&2
    failures+=("clang-tidy")
    return
  fi
  logs=$(mktemp -d)
  # One log per source, so that parallel runs do not mix their lines.
  printf '%s\n' "${units[@]}" |
    xargs -P "$jobs" -I{} sh -c 'ct=$0 b=$1 r=$2 u=$3 l=$4; shift 4
      "$ct" -p "$b" --quiet "$@" "$r/$u" >"$l/$(echo "$u" | tr / _).log" 2>&1 || echo "$u" >>"$l/failed"' \
      "$clang_tidy" "$build" "$root" {} "$logs" "${extra[@]}"
  if [ -s "$logs/failed" ]; then
    # A header's finding is reported once for each source that includes it,
    # and under the build's include folders; each is shown once, by its path
    # in the tree.
    echo "style: clang-tidy failed on $(wc -l <"$logs/failed") of ${#units[@]} sources:"
    found=$(cat "$logs"/*.log | sed -E "s|[^ :]*/layers/[a-z0-9_]+/||; s|$root/||" |
      grep -E '^[^ ].*:[0-9]+:[0-9]+: (warning|error): ' | sort -u || :)
    if [ -n "$found" ]; then
      printf '%s\n' "$found"
    else
      # No finding to show: clang-tidy itself failed (a missing header, say).
      while read -r u; do cat "$logs/$(echo "$u" | tr / _).log"; done <"$logs/failed"
    fi
    failures+=("clang-tidy")
  fi
  rm -rf "$logs"
}

if [ "$mode" = windows ]; then
  # The Win32 folders, through the Windows build's compile commands, with the
  # cross compiler's target and standard library headers.
  gcc=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-libgcc-file-name)")
  tidy "$build" '^(windows|win32view)/[^/]+\.cpp$' --extra-arg=--target=x86_64-w64-mingw32 --extra-arg=-nostdinc++ \
    --extra-arg=-isystem"$gcc/include/c++" --extra-arg=-isystem"$gcc/include/c++/x86_64-w64-mingw32" \
    --extra-arg=-isystem"$gcc/include/c++/backward" --extra-arg=-isystem/usr/x86_64-w64-mingw32/include
else
  tidy "$build" '^(app|cli|entry|model|output|platform|settings|sqlite|posix|cups|pdf|qtview)/[^/]+\.cpp$'
fi

if [ ${#failures[@]} -gt 0 ]; then
  echo "style: failed: ${failures[*]}"
  exit 1
fi
echo "style: ${#sources[@]} files laid out (checked with the Linux build), $tidied sources clean under clang-tidy"
