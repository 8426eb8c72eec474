#!/usr/bin/env bash
# Fails on any #include "..." that points up the layers of the tree, printing each offending
# line. Usage: check_includes.sh [SOURCE_ROOT]
set -uo pipefail
root=${1:-$(dirname "$0")/../..}
cd "$root" || exit 2

# What each folder may include besides itself. src folders are named by their folder name;
# the others by their path from the root.
declare -A allowed=(
  [platform]=""
  [devicelink]="platform"
  [config]="platform devicelink"
  [imagefile]="platform config"
  [hardware]="platform devicelink config"
  [diagnostics]="platform devicelink config hardware imagefile"
  [imagefind]="platform devicelink config imagefile hardware diagnostics"
  [netclient]="platform config imagefile"
  [export]="platform config imagefile"
  [scanner]="platform devicelink config imagefile hardware diagnostics imagefind"
  [api]="platform devicelink config imagefile hardware diagnostics imagefind netclient export scanner"
  [plugins/zrconfig]="platform"
  [plugins/zrip]="platform imagefile"
  [plugins/lumorausb]="platform devicelink"
  [emulator]=""  # emulator/daemon (lumora-emud) too: its own files and the emulator's headers
  [tools]="platform imagefile export"
  [netbox]="platform imagefile export"
  [sane]="platform imagefile export"
)
src_folders=" platform devicelink config imagefile hardware diagnostics imagefind netclient export scanner api "

# The folder a file belongs to, as a key of `allowed`.
owner() {
  case $1 in
    src/*) local rest=${1#src/}; echo "${rest%%/*}" ;;
    plugins/*) local rest=${1#plugins/}; echo "plugins/${rest%%/*}" ;;
    emulator/*) echo emulator ;;
    tools/*) echo tools ;;
    netbox/*) echo netbox ;;
    sane/*) echo sane ;;
  esac
}

failures=0
checked=0
while IFS= read -r -d '' file; do
  from=$(owner "$file")
  [[ -n $from ]] || continue
  if [[ -z ${allowed[$from]+set} ]]; then
    echo "$file: folder '$from' has no entry in the table of allowed includes"
    failures=$((failures + 1))
    continue
  fi
  dir=$(dirname "$file")
  while IFS= read -r hit; do
    lineno=${hit%%:*}
    line=${hit#*:}
    [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"([^\"]+)\" ]] || continue
    checked=$((checked + 1))
    target=${BASH_REMATCH[1]}
    # A file beside the includer is its own business (the emulator's own headers included).
    [[ -e $dir/$target && $target != *..* ]] && continue
    first=""
    [[ $target == */* ]] && first=${target%%/*}
    ok=0
    if [[ $first == lumora ]]; then
      ok=1  # the public header
    elif [[ $from == emulator ]]; then
      [[ $first == lumora_emu && -e emulator/include/$target ]] && ok=1
    elif [[ $src_folders == *" $first "* ]]; then
      [[ $first == "$from" || " ${allowed[$from]} " == *" $first "* ]] && ok=1
    fi
    if ((ok == 0)); then
      echo "$file:$lineno: $from may not include \"$target\": $line"
      failures=$((failures + 1))
    fi
  done < <(grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file")
done < <(find src plugins emulator tools netbox sane \( -name '*.h' -o -name '*.hpp' -o -name '*.c' -o -name '*.cpp' \) -print0 2>/dev/null | sort -z)

if ((failures > 0)); then
  echo "$failures include(s) point up the layers"
  exit 1
fi
echo "$checked includes checked, all point down"
