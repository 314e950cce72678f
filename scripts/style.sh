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

usage() { echo "usage: style.sh check BUILD_DIR | fix" >&2; exit 64; }

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
  check)
    [ $# -eq 2 ] || usage
    build=$2
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
unformatted=()
for f in "${sources[@]}"; do
  "$clang_format" --dry-run --Werror --style=file "$f" >/dev/null 2>&1 || unformatted+=("${f#./}")
done
if [ ${#unformatted[@]} -gt 0 ]; then
  echo "style: ${#unformatted[@]} files are not laid out as .clang-format says (scripts/style.sh fix lays them out):"
  printf '  %s\n' "${unformatted[@]}"
  failures+=("clang-format")
fi

# clang-tidy over every folder this build compiles (the Win32 folders build
# with the Windows compilers only), not the tests, benchmarks, fuzz targets
# or build tools.
program='^(app|cli|entry|model|output|platform|settings|sqlite|posix|cups|pdf|qtview)/[^/]+\.cpp$'
mapfile -t units < <(
  sed -n 's/^ *"file": *"\(.*\)",\{0,1\} *$/\1/p' "$build/compile_commands.json" |
    sed "s|^$root/||" | grep -E "$program" | sort -u)
if [ ${#units[@]} -eq 0 ]; then
  echo "style: $build/compile_commands.json names none of the program's sources" >&2
  failures+=("clang-tidy")
else
  logs=$(mktemp -d)
  trap 'rm -rf "$logs"' EXIT
  # One log per source, so that parallel runs do not mix their lines.
  printf '%s\n' "${units[@]}" |
    xargs -P "$jobs" -I{} sh -c '"$0" -p "$1" --quiet --config-file="$2/.clang-tidy" "$2/$3" >"$4/$(echo "$3" | tr / _).log" 2>&1 || echo "$3" >>"$4/failed"' \
      "$clang_tidy" "$build" "$root" {} "$logs"
  if [ -s "$logs/failed" ]; then
    # A header's finding is reported once for each source that includes it,
    # and under the build's include folders; each is shown once, by its path
    # in the tree.
    echo "style: clang-tidy failed on $(wc -l <"$logs/failed") of ${#units[@]} sources:"
    found=$(cat "$logs"/*.log | sed -E "s|[^ :]*/layers/[a-z_]+/||; s|$root/||" |
      grep -E '^[^ ].*:[0-9]+:[0-9]+: (warning|error): ' | sort -u || :)
    if [ -n "$found" ]; then
      printf '%s\n' "$found"
    else
      # No finding to show: clang-tidy itself failed (a missing header, say).
      while read -r u; do cat "$logs/$(echo "$u" | tr / _).log"; done <"$logs/failed"
    fi
    failures+=("clang-tidy")
  fi
fi

if [ ${#failures[@]} -gt 0 ]; then
  echo "style: failed: ${failures[*]}"
  exit 1
fi
echo "style: ${#sources[@]} files laid out, ${#units[@]} sources clean under clang-tidy"
