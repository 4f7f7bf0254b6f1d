#!/usr/bin/env bash
# Keeps the layers of src/ apart: fails on an include that points upward.
#
#   check_layers.sh SRC_DIR WIDGETS_HEADERS_DIR...   check a source tree
#   check_layers.sh --self-test WIDGETS_HEADERS_DIR... plant each kind of bad include in a copy
#                                                      of a small tree and expect every one caught
#
# A folder of src/ may include its own headers and those of the folders
# allowed() lists for it (device reaches history only through its interface,
# history/HistoryStore.h). Every folder but app is the core: it includes no Qt
# Widgets or Qt Print Support header. A quoted include must name a header
# under src/ (as "folder/File.h") or one beside the including file: nothing
# from tools/ or tests/.
set -uo pipefail

# Sets ok to the folders the folder $1 may include from (in this shell: a
# subshell for each of some three hundred files would cost more than the check).
allowed() {
  case "$1" in
    platform) ok="platform" ;;
    serial) ok="serial platform" ;;
    lang) ok="lang platform" ;;
    settings) ok="settings lang platform" ;;
    history) ok="history settings lang platform" ;;                     # not serial, not device
    device) ok="device history settings lang serial platform" ;;
    sim) ok="sim device history settings lang serial platform" ;;
    cli) ok="cli sim device history settings lang serial platform" ;;           # not app
    kavr-sim) ok="kavr-sim sim device history settings lang serial platform" ;; # not app, not cli
    app) ok="app sim device history settings lang serial platform" ;;           # not cli, not kavr-sim
    *) ok="" ;;
  esac
}

declare -A widget=()
load_widget_headers() {
  local d h
  for d in "$@"; do
    for h in "$d"/*; do
      widget[${h##*/}]=1
    done
  done
  [ ${#widget[@]} -gt 0 ] || { echo "no widget headers found in: $*" >&2; exit 2; }
}

check() {
  local src=$1
  local failures=0

  local file folder line inc target
  while IFS= read -r -d '' file; do
    folder=${file#"$src"/}
    folder=${folder%%/*}
    local ok
    allowed "$folder"
    if [ -z "$ok" ]; then
      echo "$file: folder '$folder' has no place in the layers" >&2
      failures=$((failures + 1))
      continue
    fi
    while IFS= read -r line; do
      [[ $line == *include* ]] || continue
      if [[ $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\"([^\"]+)\" ]]; then
        inc=${BASH_REMATCH[1]}
        if [[ $inc == */* ]]; then
          target=${inc%%/*}
          if [ ! -f "$src/$inc" ]; then
            echo "$file: includes \"$inc\", which is not a header of src/" >&2
            failures=$((failures + 1))
          elif [[ " $ok " != *" $target "* ]]; then
            echo "$file: $folder includes \"$inc\" from $target, above it" >&2
            failures=$((failures + 1))
          elif [[ $folder == device && $target == history && $inc != history/HistoryStore.h ]]; then
            echo "$file: device reaches the history only through \"history/HistoryStore.h\", not \"$inc\"" >&2
            failures=$((failures + 1))
          fi
        elif [ ! -f "${file%/*}/$inc" ] && [[ $inc != *.moc ]]; then
          echo "$file: includes \"$inc\", which is not a header of src/" >&2
          failures=$((failures + 1))
        fi
      elif [[ $folder != app && $line =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*\<([^\>]+)\> ]]; then
        inc=${BASH_REMATCH[1]}
        if [[ $inc == QtWidgets/* || $inc == QtPrintSupport/* || -n ${widget[$inc]:-} ]]; then
          echo "$file: the core includes the widget header <$inc>" >&2
          failures=$((failures + 1))
        fi
      fi
    done <"$file"
  done < <(find "$src" -type f \( -name '*.h' -o -name '*.cpp' \) -print0)

  if [ "$failures" -gt 0 ]; then
    echo "$failures include(s) against the layers" >&2
    return 1
  fi
  return 0
}

self_test() {
  local tmp
  tmp=$(mktemp -d)
  trap 'rm -rf "$tmp"' RETURN
  local base=$tmp/base
  mkdir -p "$base"/{platform,serial,lang,settings,history,device,sim,cli,kavr-sim,app}
  printf '#pragma once\n#include <QString>\n' >"$base/platform/P.h"
  printf '#include "platform/P.h"\n#include <QByteArray>\n' >"$base/device/D.h"
  printf '#include "device/D.h"\n#include <QWidget>\n' >"$base/app/W.h"
  printf '#pragma once\n' >"$base/app/Local.h"
  printf '#include "device/D.h"\n' >"$base/sim/S.h"
  printf '#pragma once\n#include "platform/P.h"\n' >"$base/history/HistoryStore.h"
  printf '#include "history/HistoryStore.h"\n' >"$base/history/Repository.h"
  printf '#include "history/HistoryStore.h"\n' >>"$base/device/D.h"
  # Headers the plants below name, so that the layer rule, not a missing file, refuses them.
  printf '#pragma once\n' | tee "$base/serial/X.h" >"$base/cli/C.h"
  if ! check "$base" "$@" 2>/dev/null; then
    echo "self-test: the clean tree was refused" >&2
    return 1
  fi
  local -a plants=(
    'device/D.h|#include "app/W.h"'
    'platform/P.h|#include "serial/X.h"'
    'settings/New.h|#include "device/D.h"'
    'device/D.h|#include <QDialog>'
    'lang/L.h|#include <QtWidgets/QLabel>'
    'device/D.h|#include <QPrintDialog>'
    'sim/S.h|#include "cli/C.h"'
    'cli/C.cpp|#include "app/W.h"'
    'history/Repository.h|#include "device/D.h"'
    'history/HistoryStore.h|#include "serial/X.h"'
    'settings/New.h|#include "history/HistoryStore.h"'
    'history/Repository.h|#include <QWidget>'
    'device/D.h|#include "history/Repository.h"'
    'device/D.h|#include "EmulatedFtdi.h"'
    'device/D.h|#include "../../tests/usbemu/EmulatedFtdi.h"'
  )
  local plant file text tree n=0 caught=0
  for plant in "${plants[@]}"; do
    file=${plant%%|*}
    text=${plant#*|}
    tree=$tmp/t$n
    cp -r "$base" "$tree"
    printf '%s\n' "$text" >>"$tree/$file"
    n=$((n + 1))
    if check "$tree" 2>/dev/null; then
      echo "self-test: not caught: $text in $file" >&2
    else
      caught=$((caught + 1))
    fi
  done
  echo "self-test: $caught of $n planted includes caught"
  [ "$caught" -eq "$n" ]
}

if [ "${1:-}" = --self-test ]; then
  shift
  load_widget_headers "$@"
  self_test
else
  [ $# -ge 2 ] || { echo "usage: $0 SRC_DIR WIDGETS_HEADERS_DIR..." >&2; exit 2; }
  src=$1
  shift
  load_widget_headers "$@"
  check "$src"
fi
