#!/usr/bin/env bash
# Fails when a product file reaches a layer above its own, directly or through
# the headers it includes (quoted includes, followed transitively).
#
# Floors, bottom up: platform/core < base < platform (the other folders) <
# dvilib < platform/ui < viewer, setup; the two programs do not reach each
# other. Inside viewer/ the folders are ordered too, top down: app, frames,
# view, prefs, document, res. The calls the document makes on its view and
# the record both share live in document/.
# Tests, fuzz targets and benchmarks may drive the whole program and are not
# checked. Usage: check-layers.sh [source root] (default: this repository).
set -euo pipefail
root=${1:-"$(dirname "$0")/.."}
cd "$root"

mapfile -t files < <(find base platform dvilib viewer setup \( -name '*.cpp' -o -name '*.h' \) 2>/dev/null \
  | grep -Ev '/(tests|fuzz)/' | sort)
(( ${#files[@]} )) || { echo "check-layers: no sources under $PWD" >&2; exit 2; }

# One line per file ("F file") and per quoted include ("I file target").
{
  for f in "${files[@]}"; do echo "F $f"; done
  grep -H '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "${files[@]}" \
    | sed -E 's/^([^:]+):[^"]*"([^"]+)".*/I \1 \2/' || true
} | awk '
function floor_of(p) {
  if (p ~ /^platform\/core\//) return 0
  if (p ~ /^base\//) return 1
  if (p ~ /^platform\/ui\//) return 4
  if (p ~ /^platform\//) return 2
  if (p ~ /^dvilib\//) return 3
  if (p ~ /^(viewer|setup)\//) return 5
  return -1
}
function folder_rank(p,   parts) {
  if (p !~ /^viewer\/[a-z]+\//) return -1
  split(p, parts, "/")
  return (parts[2] in rank) ? rank[parts[2]] : -1
}
function dir_of(p) { sub(/\/[^\/]*$/, "", p); return p }
BEGIN {
  rank["res"] = 0; rank["document"] = 1; rank["prefs"] = 2
  rank["view"] = 3; rank["frames"] = 4; rank["app"] = 5
}
$1 == "F" { known[$2] = 1; order[++nfiles] = $2; next }
$1 == "I" {
  t = $3
  # Includes are written from the source root; a bare name is a sibling.
  if (!(t in known) && ((dir_of($2) "/" t) in known)) t = dir_of($2) "/" t
  if (!(t in known)) next
  deps[$2] = deps[$2] SUBSEP t
}
END {
  bad = 0
  for (k = 1; k <= nfiles; k++) {
    f = order[k]; ff = floor_of(f); fr = folder_rank(f)
    ftop = f; sub(/\/.*/, "", ftop)
    delete seen; delete via; sp = 0
    seen[f] = 1; stack[++sp] = f
    while (sp > 0) {
      cur = stack[sp--]
      m = split(deps[cur], d, SUBSEP)
      for (j = 2; j <= m; j++) {
        g = d[j]
        if (g in seen) continue
        seen[g] = 1; via[g] = (cur == f) ? g : via[cur]
        stack[++sp] = g
        gtop = g; sub(/\/.*/, "", gtop)
        why = ""
        if (floor_of(g) > ff) why = "a higher floor"
        else if (ff == 5 && floor_of(g) == 5 && gtop != ftop) why = "another program"
        else if (fr >= 0 && folder_rank(g) > fr)
          why = "a folder above its own"
        if (why == "") continue
        how = (via[g] == g) ? "" : " through " via[g]
        printf "%s: reaches %s (%s)%s\n", f, g, why, how > "/dev/stderr"
        bad = 1
      }
    }
  }
  exit bad
}'
