#!/usr/bin/env bash
# A whole run of every portal that has sample data in examples/, against two
# local FTP servers (the portal's and the photo server), started here and
# stopped at the end. Everything it writes goes to out/demo/.
#
# examples/Windows/    the Windows folder (WINDIR): TEMP/Annoncia holds the data exports
# examples/photos/     the dealer's photo folder (PathImages)
# examples/ini/X.ini   the settings section of portal X; X is also the run option
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

./scripts/setup.sh
cmake -S . -B build -G Ninja >/dev/null
cmake --build build -j2 --target annoncia zipengine

out="$root/out/demo"
rm -rf "$out"
mkdir -p "$out/bin" "$out/portal-server" "$out/photo-server/www/clicheo"
cp -r examples/Windows "$out/Windows"
cp build/src/app/annoncia build/src/app/libZipDll.so "$out/bin/"

pids=()
stop_servers() {
  for p in "${pids[@]}"; do pkill -P "$p" 2>/dev/null || true; kill "$p" 2>/dev/null || true; done
}
trap stop_servers EXIT

# start_server NAME HOME USER PASSWORD: sets port to the port it listens on.
start_server() {
  local name=$1 home=$2 user=$3 password=$4
  # The server ends when its standard input closes, or after ten minutes.
  (sleep 600 | exec /usr/bin/python3 tests/ftpserver.py --user "$user" "$password" "$home" \
      --log "$out/$name-commands.log" --lifetime 600) >"$out/$name.out" 2>"$out/$name.err" </dev/null &
  pids+=($!)
  for _ in $(seq 100); do
    if grep -q '^PORT ' "$out/$name.out" 2>/dev/null; then
      port=$(sed -n 's/^PORT //p' "$out/$name.out" | head -n1)
      return
    fi
    sleep 0.1
  done
  echo "demo: the $name server did not start" >&2
  cat "$out/$name.err" >&2
  exit 1
}

start_server portal "$out/portal-server" annonces@ftp.demo.example Demo2024
portal_port=$port
start_server photo "$out/photo-server" clicheo@ftp.demo.example Clich3o24
photo_port=$port

{
  printf '[Options]\r\nPathImages=%s\r\nURLImages=http://127.0.0.1/clicheo\r\n' "$root/examples/photos"
  printf '[Clicheo]\r\nServeurFTP=127.0.0.1:%s\r\nUser=clicheo@ftp.demo.example\r\nPassWord=Clich3o24\r\nPathFTP=www/clicheo\r\n' "$photo_port"
  for f in examples/ini/*.ini; do
    sed "s/@PORTAL_SERVER@/127.0.0.1:$portal_port/; s/\$/\r/" "$f"
  done
} >"$out/bin/Annoncia.ini"
# Each portal uploads into its own folder of the portal server.
for folder in $(sed -n 's/^PathFTP=//p' examples/ini/*.ini); do mkdir -p "$out/portal-server/$folder"; done

status=0
for f in examples/ini/*.ini; do
  portal=$(basename "$f" .ini)
  echo
  echo "=== annoncia $portal"
  if WINDIR="$out/Windows" "$out/bin/annoncia" "$portal"; then
    echo "=== $portal: exit status 0"
  else
    rc=$?
    echo "=== $portal: exit status $rc"
    status=1
  fi
done

echo
echo "Feeds, archives and working copies: $out/Windows/TEMP/Annoncia/"
ls "$out/Windows/TEMP/Annoncia/" | sed 's/^/  /'
echo "Activity logs: $out/Windows/TEMP/ZuroviRazevi*.log"
echo "Received by the portal server: $out/portal-server/"
(cd "$out/portal-server" && find . -type f | sort | sed 's/^/  /')
echo "Photos on the photo server: $(find "$out/photo-server/www/clicheo" -type f | wc -l) files in $out/photo-server/www/clicheo/"
echo "Settings used: $out/bin/Annoncia.ini"
echo "Run history: $out/Windows/TEMP/Annoncia/historique.jsonl (WINDIR=$out/Windows $out/bin/annoncia --etat)"
echo "Status page: $out/Windows/TEMP/Annoncia/etat.html"
exit $status
