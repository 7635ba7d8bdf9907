#!/usr/bin/env bash
# Fails when a folder includes a header of a folder above it. From the bottom up:
# platform < net < core < dialogs < import < app (platform/qt: Qt only, for the
# folders that may use Qt). The tests of tests/FOLDER may include what FOLDER may,
# plus the shared helpers of tests/support. Usage: scripts/check-includes.sh [source folder]
set -u
cd "${1:-$(dirname "$0")/..}" || exit 2

allowed() {  # the folders a file of folder $1 may include
  case "$1" in
    platform)    echo "platform" ;;
    platform/qt) echo "platform platform/qt" ;;
    net)         echo "platform net" ;;
    core)        echo "platform net core" ;;
    dialogs)     echo "platform platform/qt net core dialogs" ;;
    import)      echo "platform platform/qt net core dialogs import" ;;
    app)         echo "platform platform/qt net core dialogs import app resources" ;;
  esac
}

status=0
check() {  # check FILE FOLDER [EXTRA]: the includes of FILE against what FOLDER may include
  local file=$1 folder=$2 extra=${3:-} line header target a ok
  while IFS= read -r line; do
    header=${line#*\"}; header=${header%%\"*}
    case "$header" in */*) ;; *) continue ;; esac
    target=${header%/*}
    ok=no
    for a in $(allowed "$folder") $extra; do [ "$target" = "$a" ] && ok=yes; done
    if [ "$ok" = no ]; then
      echo "$file includes $header: $folder may include only $(allowed "$folder") $extra"
      status=1
    fi
  done < <(grep -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file")
}
for folder in platform platform/qt net core dialogs import app; do
  for file in "$folder"/*.h "$folder"/*.cpp tests/"$folder"/*.h tests/"$folder"/*.cpp; do
    [ -f "$file" ] || continue
    case "$file" in tests/*) check "$file" "$folder" support ;; *) check "$file" "$folder" ;; esac
  done
done
# Tests of the scripts include nothing of the program.
for file in tests/scripts/*.cpp; do
  [ -f "$file" ] && check "$file" none support
done
[ "$status" = 0 ] && echo "includes run only downward"
exit "$status"
