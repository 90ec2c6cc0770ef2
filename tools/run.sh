#!/usr/bin/env bash
# Installs what the project needs (the same setup script as tools/test.sh,
# quick when everything is there), builds the viewer (without sanitizers) and
# starts it on the given document, or on the bundled sample document.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${VELORAN_RUN_BUILD:-$here/build}

bash "$here/tools/setup-deps.sh" >&2

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELORAN_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
viewer="$build/bin/VrViewer"
if [ ! -x "$viewer" ]; then
  echo "run: the viewer program is not built yet; the libraries built." >&2
  exit 0
fi
if [ $# -eq 0 ]; then
  set -- "$build/share/veloran/sample/sample.dvi"
fi
exec "$viewer" "$@"
