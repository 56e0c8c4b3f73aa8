#!/usr/bin/env bash
# Builds the Debian packages annoncia and annoncia-gui from a Release build:
#   scripts/package.sh [BUILD_DIR]      (default build-release)
# and prints where they are. Install them with
#   sudo apt install ./BUILD_DIR/annoncia_*.deb ./BUILD_DIR/annoncia-gui_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

dir="${1:-build-release}"
./scripts/setup.sh
cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DANNONCIA_TESTS=OFF >/dev/null
cmake --build "$dir" -j "${JOBS:-2}"
rm -f "$dir"/*.deb
(cd "$dir" && cpack -G DEB >/dev/null)
ls "$dir"/*.deb
