#!/usr/bin/env bash
# Times a whole ParuVendu run on a large data export against xmllint reading
# the same file.
#
#   bench/run.sh [VEHICLES] [LINKS] [RUNS]    (defaults: 10000 60000 3)
#
# The export comes from bench/make-export.py. The photo check is off
# (TestFTPClicheo=0: no photo server is contacted) and the portal server is a
# closed loopback port, so the upload fails at once and the run ends with
# exit status 3: what is timed is the program's own work (load, vehicle and
# photo passes, text rules, reload, two saves, the logs). Everything goes to
# out/bench/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
vehicles=${1:-10000}
links=${2:-60000}
runs=${3:-3}

cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j2 --target annoncia zipengine >/dev/null

out="$root/out/bench"
rm -rf "$out"
mkdir -p "$out/bin" "$out/Windows/TEMP/Annoncia" "$out/photos"
cp build/src/app/annoncia build/src/app/libZipDll.so "$out/bin/"
export_file="$out/Windows/TEMP/Annoncia/ExpDatasParuVendu.xml"
/usr/bin/python3 bench/make-export.py "$export_file" "$vehicles" "$links"
printf '[Options]\r\nPathImages=%s\r\nURLImages=http://127.0.0.1/clicheo\r\n[PARUVENDU]\r\nServeurFTP=127.0.0.1:1\r\nUser=annonces@ftp.demo.example\r\nPassWord=Demo2024\r\nPathFTP=paruvendu\r\nTestFTPClicheo=0\r\nFlgInfoEquip=1\r\n' \
  "$out/photos" >"$out/bin/Annoncia.ini"

echo "export: $vehicles vehicles, $links photo links, $(stat -c %s "$export_file") bytes"
TIMEFORMAT='%R s elapsed (%U s user, %S s system)'
for k in $(seq "$runs"); do
  echo "run $k"
  printf '  xmllint --noout: '
  { time xmllint --noout "$export_file"; } 2>&1
  printf '  annoncia ParuVendu: '
  rc=0
  { time WINDIR="$out/Windows" "$out/bin/annoncia" ParuVendu >"$out/memo.txt" 2>"$out/errors.txt" || rc=$?; } 2>&1
  echo "  exit status $rc (3: upload refused, as set up), memo $(stat -c %s "$out/memo.txt") bytes"
  if [ "$rc" -ne 3 ]; then cat "$out/errors.txt" >&2; exit 1; fi
done
feed=$(ls "$out"/Windows/TEMP/Annoncia/RovelleDatasVO-*.xml)
echo "feed: $feed, $(stat -c %s "$feed") bytes"
xmllint --noout "$feed" && echo "feed is well-formed (xmllint)"
