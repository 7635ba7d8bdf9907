#!/usr/bin/env bash
# Fails when a folder includes a header of a folder above it. From the bottom up:
# platform < net < core < dialogs < import < app (platform/qt: Qt only, for the
# folders that may use Qt). An include counts by the file it reaches, however it
# is written ("..." or <...>, with or without ../). The tests of tests/FOLDER may
# include what FOLDER may, plus the shared helpers of tests/support that keep to
# the same, through the helpers they include too; the helpers' own sources build
# on platform alone. Every source under tests/ is in a folder named here.
# Usage: scripts/check-includes.sh [source folder]
set -u
cd "${1:-$(dirname "$0")/..}" || exit 2

folders="platform platform/qt net core dialogs import app"
allowed() {  # sets may: the folders a file of folder $1 may include
  case "$1" in
    platform)    may="platform" ;;
    platform/qt) may="platform platform/qt" ;;
    net)         may="platform net" ;;
    core)        may="platform net core" ;;
    dialogs)     may="platform platform/qt net core dialogs" ;;
    import)      may="platform platform/qt net core dialogs import" ;;
    app)         may="platform platform/qt net core dialogs import app resources" ;;
    *)           may="" ;;
  esac
}
sources() {  # the C and C++ files directly in folder $1
  [ -d "$1" ] || return 0
  find "$1" -maxdepth 1 -type f \( -name '*.h' -o -name '*.hh' -o -name '*.hpp' -o -name '*.inl' \
    -o -name '*.c' -o -name '*.cc' -o -name '*.cpp' -o -name '*.cxx' \) | sort
}

# The include lines of every file, read at once.
declare -A lines=()
readLines() {
  local hit
  while IFS= read -r hit; do
    lines[${hit%%:*}]+=${hit#*:}$'\n'
  done < <(grep -H -E '^[[:space:]]*#[[:space:]]*include' "$@" /dev/null)
}

# resolve FILE HEADER QUOTED: sets reached to the tree's file that the include
# reaches (its own folder first for "..."; then the source folder and tests/, as
# the build searches), empty for a header from outside (system, Qt, GoogleTest).
resolve() {
  local candidate
  reached=
  for candidate in ${3:+"${1%/*}/$2"} "$2" "tests/$2"; do
    [ -f "$candidate" ] || continue
    case "$candidate" in
      */./* | ./* | */../* | ../*) candidate=$(realpath -m --relative-to=. "$candidate") ;;
    esac
    reached=$candidate
    return
  done
}

# includes FILE: sets found to the project headers FILE includes, each as
# "header reached".
includes() {
  local line header quoted
  found=()
  while IFS= read -r line; do
    line=${line#*include}
    line=${line#"${line%%[\"<]*}"}
    quoted=
    case "$line" in
      \"*) header=${line#\"}; header=${header%%\"*}; quoted=yes ;;
      \<*) header=${line#<}; header=${header%%>*} ;;
      *) continue ;;
    esac
    resolve "$1" "$header" "$quoted"
    [ -n "$reached" ] && found+=("$header $reached")
  done <<< "${lines[$1]-}"
}

status=0
fail() {
  echo "$1"
  status=1
}

# The folders of the program a helper of tests/support reaches, itself and
# through the helpers it includes.
declare -A reach=()
reachOf() {
  local file=$1 header target all="" pair
  [ -n "${reach[$file]+set}" ] && return
  reach[$file]=""  # a helper that comes round again adds nothing
  includes "$file"
  local -a mine=("${found[@]}")
  for pair in "${mine[@]}"; do
    header=${pair% *} target=${pair#* }
    case "$target" in
      tests/support/*) reachOf "$target"; all+=" ${reach[$target]}" ;;
      tests/*) fail "$file includes $header: the helpers include no test's header" ;;
      */*) [[ " $all " == *" ${target%/*} "* ]] || all+=" ${target%/*}" ;;
      *) all+=" ." ;;
    esac
  done
  reach[$file]=$all
}

# check FILE FOLDER TESTS: the includes of FILE against what FOLDER may include;
# TESTS is the file's test folder, whose own headers and the helpers it may use.
check() {
  local file=$1 folder=$2 tests=${3:-} header target f bad pair may
  allowed "$folder"
  includes "$file"
  for pair in "${found[@]}"; do
    header=${pair% *} target=${pair#* }
    case "$target" in
      tests/support/*)
        if [ -z "$tests" ]; then
          fail "$file includes $header: the program includes no test helper"
          continue
        fi
        reachOf "$target"
        bad=""
        for f in ${reach[$target]}; do [[ " $may " == *" $f "* ]] || bad+=" $f"; done
        [ -z "$bad" ] || fail "$file includes $header, which reaches$bad: $folder may include only ${may:-tests/support}"
        continue ;;
      */*) f=${target%/*} ;;
      *) f=. ;;
    esac
    [ -n "$tests" ] && [ "$f" = "$tests" ] && continue
    [[ " $may " == *" $f "* ]] || fail "$file includes $header: $folder may include only ${may:-tests/support}"
  done
}

files=()
for folder in $folders; do files+=($(sources "$folder") $(sources "tests/$folder")); done
files+=($(sources tests/scripts) $(sources tests/support))
readLines "${files[@]}"

for folder in $folders; do
  for file in $(sources "$folder"); do check "$file" "$folder"; done
  for file in $(sources "tests/$folder"); do check "$file" "$folder" "tests/$folder"; done
done
# Tests of the scripts include nothing of the program.
for file in $(sources tests/scripts); do check "$file" scripts tests/scripts; done
# The helpers' sources build into a library on platform/ alone.
for file in $(sources tests/support); do
  case "$file" in *.h | *.hh | *.hpp | *.inl) reachOf "$file" ;; *) check "$file" platform tests/support ;; esac
done
# A source in a folder of tests/ that none of the above reads would escape.
known=" tests/scripts tests/support $(printf 'tests/%s ' $folders)"
while IFS= read -r dir; do
  [[ "$known" == *" $dir "* ]] || [ -z "$(sources "$dir")" ] || fail "$dir: a folder of tests that no rule checks; put shared helpers in tests/support"
done < <(find tests -path tests/fixtures -prune -o -type d -print | sort)

[ "$status" = 0 ] && echo "includes run only downward"
exit "$status"
