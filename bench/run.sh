#!/usr/bin/env bash
# Times whole portal runs on large generated data exports against xmllint
# reading the same file, and prints one table row per portal.
#
#   bench/run.sh [PORTAL|all] [VEHICLES]      (defaults: all 10000)
#   RUNS=3 bench/run.sh ...                    (runs per size, the least time and RSS count; default 1)
#
# Each portal runs on VEHICLES vehicles with six photo links each on average
# (bench/make-export.py), and on a tenth of that for the scaling column. The
# photo check is off (TestFTPClicheo=0: no photo server is contacted) and the
# portal server is a closed loopback port and the upload is tried once
# (Tentatives=1: no pause between tries), so it fails at once and the
# run ends with exit status 3: what is timed is the program's own work (load,
# edits, saves, staging, packing, the logs). AutoScout24 stages a real photo
# folder holding every linked photo and its thumbnail.
#
# Columns: run and xmllint --noout wall time in seconds (the least of RUNS),
# their ratio, the run's peak RSS (/usr/bin/time -v), peak RSS over export
# size, and the run time at VEHICLES over the run time at VEHICLES / 10.
# Everything goes to out/bench/PORTAL-SIZE/; the feeds and archives stay there
# for bench/compare.py.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
which=${1:-all}
vehicles=${2:-10000}
runs=${RUNS:-1}
portals=(ParuVendu AutoScout24 SitAutoPro TopAnnonces LeBonCoin InfoPress)
if [ "$which" != all ]; then portals=("$which"); fi

cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j2 --target annoncia zipengine >/dev/null

# A previous tree is set aside and deleted once every run is timed: right
# after tens of thousands of files are deleted, this file system is slow to
# create new ones for a few minutes, which would be timed as AutoScout24's
# staging. (The program sets its own previous staging aside the same way.)
trash="$root/out/bench-old"
trap 'rm -rf "$trash"' EXIT

# Prepares out/bench/PORTAL-SIZE and prints its path.
prepare() {
  local portal=$1 size=$2 dir="$root/out/bench/$1-$2"
  if [ -e "$dir" ]; then
    mkdir -p "$trash"
    mv "$dir" "$(mktemp -d "$trash/XXXXXX")/"
  fi
  mkdir -p "$dir/bin" "$dir/Windows/TEMP/Annoncia" "$dir/photos"
  cp build/src/app/annoncia build/src/app/libZipDll.so "$dir/bin/"
  local photos=()
  if [ "$portal" = AutoScout24 ]; then photos=(--photos "$dir/photos"); fi
  /usr/bin/python3 bench/make-export.py "$portal" "$dir/Windows/TEMP/Annoncia/ExpDatas$portal.xml" "$size" "${photos[@]}"
  local section=${portal^^}
  printf '[Options]\r\nPathImages=%s\r\nURLImages=http://127.0.0.1/clicheo\r\n[%s]\r\nServeurFTP=127.0.0.1:1\r\nUser=annonces@ftp.demo.example\r\nPassWord=Demo2024\r\nPathFTP=bench\r\nTestFTPClicheo=0\r\nTentatives=1\r\nFlgInfoEquip=1\r\n' \
    "$dir/photos" "$section" >"$dir/bin/Annoncia.ini"
  echo "$dir"
}

# Runs the portal RUNS times beside xmllint; prints "run xmllint rss".
measure() {
  local portal=$1 dir=$2 export_file="$2/Windows/TEMP/Annoncia/ExpDatas$1.xml"
  local best_run="" best_lint="" best_rss="" k rc t r l
  for k in $(seq "$runs"); do
    /usr/bin/time -f %e -o "$dir/xmllint.time" xmllint --noout "$export_file"
    rc=0
    WINDIR="$dir/Windows" /usr/bin/time -v -o "$dir/run.time" "$dir/bin/annoncia" "$portal" \
      >"$dir/memo.txt" 2>"$dir/errors.txt" || rc=$?
    if [ "$rc" -ne 3 ]; then
      echo "$portal: exit status $rc (3 expected: upload refused, as set up)" >&2
      cat "$dir/errors.txt" >&2
      exit 1
    fi
    t=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s }' "$dir/run.time")
    r=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$dir/run.time")
    l=$(cat "$dir/xmllint.time")
    best_run=$(awk -v a="$best_run" -v b="$t" 'BEGIN { print (a == "" || b < a) ? b : a }')
    best_lint=$(awk -v a="$best_lint" -v b="$l" 'BEGIN { print (a == "" || b < a) ? b : a }')
    best_rss=$(awk -v a="$best_rss" -v b="$r" 'BEGIN { print (a == "" || b < a) ? b : a }')
  done
  echo "$best_run $best_lint $best_rss"
}

small=$((vehicles / 10))
if [ "$small" -lt 1 ]; then small=1; fi
printf '| portal | vehicles | export MB | run s | xmllint s | ratio | peak RSS MB | RSS / export | time ×%d vehicles |\n' 10
printf '|---|---|---|---|---|---|---|---|---|\n'
for portal in "${portals[@]}"; do
  dir_small=$(prepare "$portal" "$small")
  read -r t_small _ _ < <(measure "$portal" "$dir_small")
  dir=$(prepare "$portal" "$vehicles")
  read -r t lint rss < <(measure "$portal" "$dir")
  bytes=$(stat -c %s "$dir/Windows/TEMP/Annoncia/ExpDatas$portal.xml")
  awk -v p="$portal" -v n="$vehicles" -v b="$bytes" -v t="$t" -v l="$lint" -v r="$rss" -v ts="$t_small" 'BEGIN {
    printf "| %s | %d | %.1f | %.2f | %.2f | %.1f× | %.0f | %.1f× | %.1f× |\n",
      p, n, b / 1e6, t, l, (l > 0 ? t / l : 0), r / 1024, r * 1024 / b, (ts > 0 ? t / ts : 0) }'
done
