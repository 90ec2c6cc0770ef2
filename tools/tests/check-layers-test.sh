#!/usr/bin/env bash
# Runs tools/check-layers.sh on small planted trees and on a copy of the
# sources with one include added: an upward reach must fail and name the file
# that reaches up, also when the include that goes up is in another header.
set -uo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
check=$here/tools/check-layers.sh
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0

# plant DIR FILE INCLUDE... : writes FILE under DIR with the given includes.
plant() {
  local dir=$1 file=$2; shift 2
  mkdir -p "$dir/$(dirname "$file")"
  : >"$dir/$file"
  for inc in "$@"; do echo "#include \"$inc\"" >>"$dir/$file"; done
}

# expect NAME STATUS PATTERN DIR : the checker on DIR exits with STATUS (0 or
# 1) and, when PATTERN is not empty, reports a line matching it.
expect() {
  local name=$1 want=$2 pattern=$3 dir=$4 out status
  out=$(bash "$check" "$dir" 2>&1); status=$?
  if [[ $status != "$want" ]] || { [[ -n $pattern ]] && ! grep -qE -- "$pattern" <<<"$out"; }; then
    echo "FAIL $name: exit $status, want $want${pattern:+ and /$pattern/}" >&2
    sed 's/^/  | /' <<<"$out" >&2
    failed=1
  else
    echo "ok   $name"
  fi
}

# A tree that keeps every rule: each floor on the one below, the view on the
# calls its document declares, tests reaching anything.
t=$work/clean
plant "$t" platform/core/CString.h
plant "$t" base/String8.h platform/core/CString.h
plant "$t" platform/gdi/DC.h base/String8.h
plant "$t" dvilib/VrDvi.h platform/gdi/DC.h
plant "$t" platform/ui/View.h platform/gdi/DC.h
plant "$t" viewer/document/PaperSize.h base/String8.h
plant "$t" viewer/document/ViewStatus.h viewer/document/PaperSize.h
plant "$t" viewer/document/DocumentView.h viewer/document/ViewStatus.h platform/ui/View.h
plant "$t" viewer/document/Doc.cpp viewer/document/DocumentView.h dvilib/VrDvi.h
plant "$t" viewer/view/Panel.h viewer/document/DocumentView.h
plant "$t" viewer/app/App.cpp viewer/view/Panel.h
plant "$t" setup/Setup.cpp platform/ui/View.h
plant "$t" dvilib/tests/DrawTest.cpp viewer/app/App.cpp
expect "rules kept" 0 "" "$t"

# Each case: name, pattern the report must show, then FILE INCLUDE... lines
# planted into a copy of the clean tree.
run_case() {
  local name=$1 pattern=$2; shift 2
  local d=$work/case$((++n))
  cp -r "$work/clean" "$d"
  while (( $# )); do
    local entry=$1; shift
    # shellcheck disable=SC2086
    plant "$d" $entry
  done
  expect "$name" 1 "$pattern" "$d"
}
n=0
run_case "floor, direct" \
  '^dvilib/VrDvi.h: reaches viewer/app/App.h \(a higher floor\)$' \
  "dvilib/VrDvi.h platform/gdi/DC.h viewer/app/App.h" "viewer/app/App.h"
run_case "floor, through a header of the same floor" \
  '^platform/gdi/Pen.cpp: reaches dvilib/Drawer.h \(a higher floor\) through platform/gdi/Brush.h$' \
  "platform/gdi/Pen.cpp platform/gdi/Brush.h" "platform/gdi/Brush.h dvilib/Drawer.h" "dvilib/Drawer.h"
run_case "floor, core below base" \
  '^platform/core/CString.h: reaches base/Errors.h \(a higher floor\)$' \
  "platform/core/CString.h base/Errors.h" "base/Errors.h"
run_case "floor, the DVI library below the UI layer" \
  '^dvilib/VrDvi.h: reaches platform/ui/View.h \(a higher floor\)$' \
  "dvilib/VrDvi.h platform/ui/View.h"
run_case "programs apart" \
  '^setup/Setup.cpp: reaches viewer/view/Panel.h \(another program\)$' \
  "setup/Setup.cpp viewer/view/Panel.h"
run_case "viewer folders, direct" \
  '^viewer/document/Doc.cpp: reaches viewer/frames/Frame.h \(a folder above its own\)$' \
  "viewer/document/Doc.cpp viewer/frames/Frame.h" "viewer/frames/Frame.h"
run_case "document through a header of its own folder" \
  '^viewer/document/Doc.cpp: reaches viewer/view/Panel.h \(a folder above its own\) through viewer/document/DocumentView.h$' \
  "viewer/document/ViewStatus.h viewer/document/PaperSize.h viewer/view/Panel.h"

# The sources as they are keep the rules; with one upward include planted in
# a header of the lowest floors, every file that includes it reaches up.
expect "sources as they are" 0 "" "$here"
real=$work/real
mkdir -p "$real"
(cd "$here" && find base platform dvilib viewer setup \( -name '*.cpp' -o -name '*.h' \) -print0 \
  | xargs -0 cp --parents -t "$real")
echo '#include "viewer/app/VrViewerApp.h"' >>"$real/base/String8.h"
expect "sources with a planted include" 1 \
  '^dvilib/VrDvi.cpp: reaches viewer/app/VrViewerApp.h \(a higher floor\) through ' "$real"

exit $failed
