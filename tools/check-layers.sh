#!/usr/bin/env bash
# Fails when a product file under viewer/ includes a folder above its own
# (order, top down: app, frames, view, prefs, document, res). The document's
# one way up is viewer/view/DocumentView.h, the calls it makes on its view.
# Tests and fuzz targets may drive the whole program and are not checked.
set -euo pipefail
cd "$(dirname "$0")/.."
declare -A rank=([res]=0 [document]=1 [prefs]=2 [view]=3 [frames]=4 [app]=5)
bad=0
while IFS= read -r file; do
  own=${file#viewer/}; own=${own%%/*}
  [[ -n ${rank[$own]+x} ]] || continue
  while IFS= read -r line; do
    target=$(sed -E 's/.*#include "viewer\/([a-z]+)\/.*/\1/' <<<"$line")
    [[ -n ${rank[$target]+x} ]] || continue
    (( rank[$target] > rank[$own] )) || continue
    [[ $own == document && $line == *'"viewer/view/DocumentView.h"'* ]] && continue
    echo "$file: includes upward: $line" >&2
    bad=1
  done < <(grep -h '#include "viewer/' "$file" || true)
done < <(find viewer -name '*.cpp' -o -name '*.h' | grep -Ev '/(tests|fuzz)/' | sort)
exit $bad
