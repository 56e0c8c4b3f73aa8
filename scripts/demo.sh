#!/usr/bin/env bash
# A whole run of every portal that has sample data in examples/, against local
# FTP servers started here and stopped at the end: the portal server (plain
# FTP, tests/ftpserver.py) for most portals, and proftpd over explicit FTPS
# (TLS, passive mode, its certificate made here and given as CertificatAC)
# for the photo server and for ParuVendu. Everything it writes goes to out/demo/.
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
mkdir -p "$out/bin" "$out/portal-server" "$out/photo-server/www/clicheo" "$out/ftps-portal-server/paruvendu" "$out/ftps"
cp -r examples/Windows "$out/Windows"
cp build/src/app/annoncia build/src/app/libZipDll.so "$out/bin/"

pids=()
groups=()
stop_servers() {
  for p in "${pids[@]}"; do pkill -P "$p" 2>/dev/null || true; kill "$p" 2>/dev/null || true; done
  for g in "${groups[@]}"; do kill -KILL -- "-$g" 2>/dev/null || true; done
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

# start_ftps_server: proftpd with explicit TLS (required on control and data
# connections) and two virtual users, the photo server's and ParuVendu's; sets
# ftps_port. Its watchdog owns the server's process group and ends it with
# this script, or after ten minutes.
start_ftps_server() {
  local d="$out/ftps" uid gid
  openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=annoncia demo" \
      -addext subjectAltName=IP:127.0.0.1 -keyout "$d/key.pem" -out "$d/cert.pem" 2>/dev/null
  uid=$(id -u); gid=$(id -g)
  if [ "$uid" -eq 0 ]; then
    # The sessions run as nobody, each user jailed in its home folder.
    uid=65534; gid=65534
    chown -R "$uid:$gid" "$out/photo-server" "$out/ftps-portal-server"
  fi
  {
    echo "clicheo@ftp.demo.example:$(openssl passwd -6 Clich3o24):$uid:$gid::$out/photo-server:/bin/false"
    echo "annonces@ftp.demo.example:$(openssl passwd -6 Demo2024):$uid:$gid::$out/ftps-portal-server:/bin/false"
  } >"$d/passwd"
  echo "ftpusers:x:$gid:" >"$d/group"
  chmod 600 "$d/passwd" "$d/group" "$d/key.pem"
  for _ in 1 2 3 4 5; do
    ftps_port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()')
    {
      echo 'ServerType standalone'
      echo 'ServerName "annoncia demo"'
      echo 'ServerIdent on "annoncia demo"'
      echo 'DefaultAddress 127.0.0.1'
      echo 'SocketBindTight on'
      echo 'UseIPv6 off'
      echo "Port $ftps_port"
      echo "PassivePorts $((ftps_port < 65000 ? ftps_port + 1 : ftps_port - 500)) $((ftps_port < 65000 ? ftps_port + 32 : ftps_port - 469))"
      if [ "$(id -u)" -eq 0 ]; then
        printf 'User nobody\nGroup nogroup\nDefaultRoot ~\n'
      else
        printf 'User %s\nGroup %s\n' "$(id -un)" "$(id -gn)"
      fi
      echo "PidFile $d/proftpd.pid"
      echo "ScoreboardFile $d/proftpd.scoreboard"
      echo 'DelayEngine off'
      printf '<IfModule mod_ctrls.c>\nControlsEngine off\n</IfModule>\n'
      echo 'WtmpLog off'
      echo 'UseReverseDNS off'
      echo 'UseFtpUsers off'
      echo "TransferLog $out/ftps-transfers.log"
      echo "SystemLog $out/ftps-system.log"
      echo 'AuthOrder mod_auth_file.c'
      echo "AuthUserFile $d/passwd"
      echo "AuthGroupFile $d/group"
      echo 'AuthPAM off'
      echo 'RequireValidShell off'
      echo 'AllowOverwrite on'
      echo 'TimeoutIdle 600'
      echo 'ModulePath /usr/lib/proftpd'
      echo 'LoadModule mod_tls.c'
      echo 'TLSEngine on'
      echo "TLSLog $out/ftps-tls.log"
      # TLS 1.2: over TLS 1.3 the data connections of one session do not all
      # resume the control connection's TLS session, which proftpd requires.
      echo 'TLSProtocol TLSv1.2'
      echo 'TLSRequired on'
      echo 'TLSVerifyClient off'
      echo "TLSRSACertificateFile $d/cert.pem"
      echo "TLSRSACertificateKeyFile $d/key.pem"
    } >"$d/proftpd.conf"
    rm -f "$d/ended"
    # Not a process group leader (no job control here), so setsid does not fork: $! is the group.
    setsid bash -c '( /usr/sbin/proftpd -n -c "$1" </dev/null >"$2" 2>&1; echo ended >"$4" ) &
      for _ in $(seq 600); do kill -0 "$3" 2>/dev/null || break; sleep 1; done
      kill -KILL 0' _ "$d/proftpd.conf" "$out/ftps.out" "$$" "$d/ended" </dev/null >/dev/null 2>&1 &
    groups+=($!)
    for _ in $(seq 100); do
      [ -e "$d/ended" ] && break
      if timeout 2 bash -c "exec 4<>/dev/tcp/127.0.0.1/$ftps_port && head -c 3 <&4" 2>/dev/null | grep -q 220; then
        return
      fi
      sleep 0.1
    done
    kill -KILL -- "-${groups[-1]}" 2>/dev/null || true
  done
  echo "demo: the FTPS server did not start" >&2
  cat "$out/ftps.out" "$out/ftps-system.log" >&2 2>/dev/null || true
  exit 1
}

start_server portal "$out/portal-server" annonces@ftp.demo.example Demo2024
portal_port=$port
start_ftps_server
tls_lines="Securite=TLS\r\nCertificatAC=$out/ftps/cert.pem\r\nModePassif=1\r\n"

{
  printf '[Options]\r\nPathImages=%s\r\nURLImages=http://127.0.0.1/clicheo\r\n' "$root/examples/photos"
  printf '[Clicheo]\r\nServeurFTP=127.0.0.1:%s\r\nUser=clicheo@ftp.demo.example\r\nPassWord=Clich3o24\r\nPathFTP=www/clicheo\r\n' "$ftps_port"
  printf '%b' "$tls_lines"
  for f in examples/ini/*.ini; do
    if [ "$(basename "$f")" = ParuVendu.ini ]; then
      sed "s/@PORTAL_SERVER@/127.0.0.1:$ftps_port/; s/\$/\r/" "$f"
      printf '%b' "$tls_lines"
    else
      sed "s/@PORTAL_SERVER@/127.0.0.1:$portal_port/; s/\$/\r/" "$f"
    fi
  done
} >"$out/bin/Annoncia.ini"
chmod 640 "$out/bin/Annoncia.ini"
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
echo "Received over FTPS by the ParuVendu server: $out/ftps-portal-server/"
(cd "$out/ftps-portal-server" && find . -type f | sort | sed 's/^/  /')
echo "Photos on the photo server (FTPS): $(find "$out/photo-server/www/clicheo" -type f | wc -l) files in $out/photo-server/www/clicheo/"
echo "Settings used: $out/bin/Annoncia.ini"
echo "Run history: $out/Windows/TEMP/Annoncia/historique.jsonl (WINDIR=$out/Windows $out/bin/annoncia --etat)"
echo "Status page: $out/Windows/TEMP/Annoncia/etat.html"
exit $status
