#!/usr/bin/env bash
# Takes a screenshot of annoncia-gui under a real X server (Xvfb, no window
# manager) and saves it as a PNG.
#
#   scripts/screenshot.sh [-o file.png] [run option...]
#   scripts/screenshot.sh [-o file.png] --idle
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
set -euo pipefail
cd "$(dirname "$0")/.."

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
