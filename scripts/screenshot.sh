#!/usr/bin/env bash
# Takes a screenshot of annoncia-gui under a real X server (Xvfb, no window
# manager) and saves it as a PNG.
#
#   scripts/screenshot.sh [-o file.png] [run option...]
#   scripts/screenshot.sh [-o file.png] --idle
#   scripts/screenshot.sh [-o file.png] --etat
#
# Without arguments the window is taken after a finished ParuVendu run on the
# sample data in examples/ (photo check off; the portal server is a closed
# loopback port, so the memo ends with the connection error line). With a
# run option (a portal name) that run happens first, as under the scheduler,
# with the settings of ANNONCIA_INI; with --idle the window shows as an
# operator finds it: the usage line in the memo and the start controls. The program saves its own window about a second after showing it
# (ANNONCIA_GUI_SCREENSHOT) and then closes. Builds annoncia-gui if needed.
#
# The program runs from a temporary installation: a copy of the executable
# with the settings file named by ANNONCIA_INI beside it (an empty one when
# unset), and WINDIR (log and work folder) in a temporary folder unless set.
# An error box left open by a run blocks the window; the script gives up
# after TIMEOUT seconds (default 120).
#
# --etat takes the status page instead (build/screenshots/etat.png), rendered
# by headless Chromium: a sample history of the last 30 nights
# (examples/make-history-example.py) followed by a real LeBonCoin run of the
# console program on the sample data (no user: nothing to send), which
# rewrites the page.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = "--etat" ] || [ "${3:-}" = "--etat" ]; then
  out="build/screenshots/etat.png"
  if [ "${1:-}" = "-o" ]; then out="$2"; fi
  ./scripts/setup.sh
  if [ ! -f build/build.ninja ]; then
    cmake -S . -B build -G Ninja >/dev/null
  fi
  cmake --build build --target annoncia zipengine -j "${JOBS:-2}"
  mkdir -p "$(dirname "$out")"
  out="$(cd "$(dirname "$out")" && pwd)/$(basename "$out")"
  rm -f "$out"
  scratch="$(mktemp -d)"
  trap 'rm -rf "$scratch"' EXIT
  mkdir -p "$scratch/bin"
  cp -r examples/Windows "$scratch/Windows"
  cp build/src/app/annoncia build/src/app/libZipDll.so "$scratch/bin/"
  : >"$scratch/bin/Annoncia.ini"
  /usr/bin/python3 examples/make-history-example.py "$scratch/Windows/TEMP/Annoncia/historique.jsonl"
  WINDIR="$scratch/Windows" "$scratch/bin/annoncia" LeBonCoin >/dev/null
  timeout "${TIMEOUT:-120}" chromium --headless --no-sandbox --disable-gpu --no-first-run \
    --disable-background-networking --hide-scrollbars --user-data-dir="$scratch/chromium" \
    --window-size=1360,1000 --screenshot="$out" "file://$scratch/Windows/TEMP/Annoncia/etat.html" >/dev/null 2>&1
  if [ ! -s "$out" ]; then
    echo "screenshot: no image was saved" >&2
    exit 1
  fi
  echo "screenshot: $out"
  exit 0
fi

out="build/screenshots/annoncia-gui.png"
if [ "${1:-}" = "-o" ]; then
  out="$2"
  shift 2
fi

./scripts/setup.sh
if [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja >/dev/null
fi
cmake --build build --target annoncia-gui -j "${JOBS:-2}"

mkdir -p "$(dirname "$out")"
out="$(cd "$(dirname "$out")" && pwd)/$(basename "$out")"
rm -f "$out"

scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/bin"
if [ "${1:-}" = "--idle" ]; then
  shift
elif [ $# -eq 0 ]; then
  cp -r examples/Windows "$scratch/Windows"
  export WINDIR="$scratch/Windows"
  printf '[Options]\r\nPathImages=%s\r\n[PARUVENDU]\r\nServeurFTP=127.0.0.1:9\r\nFlgInfoEquip=1\r\n' \
    "$(pwd)/examples/photos" >"$scratch/example.ini"
  export ANNONCIA_INI="$scratch/example.ini"
  set -- ParuVendu
fi
cp build/src/app/annoncia-gui "$scratch/bin/"
if [ -n "${ANNONCIA_INI:-}" ]; then
  cp "$ANNONCIA_INI" "$scratch/bin/Annoncia.ini"
else
  : >"$scratch/bin/Annoncia.ini"
fi
if [ -z "${WINDIR:-}" ]; then
  export WINDIR="$scratch/Windows"
  mkdir -p "$WINDIR/TEMP/Annoncia"
fi

status=0
ANNONCIA_GUI_SCREENSHOT="$out" QT_QPA_PLATFORM=xcb \
  timeout "${TIMEOUT:-120}" xvfb-run -a -s "-screen 0 1024x768x24" "$scratch/bin/annoncia-gui" "$@" || status=$?

if [ ! -s "$out" ]; then
  echo "screenshot: no image was saved (annoncia-gui ended with status $status)" >&2
  exit 1
fi
echo "screenshot: $out (annoncia-gui ended with status $status)"
