#!/usr/bin/env bash
# The one test command: installs what is needed, builds, and runs every test
# twice, in a normal build and in a build with AddressSanitizer and
# UndefinedBehaviorSanitizer; then builds Release the way the README's
# Install section does, installs it into a temporary prefix, makes the Debian
# packages from that same build and checks them. Exits non-zero on any failure.
#
#   scripts/test.sh [normal] [sanitize] [release]    (default: all three)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

./scripts/setup.sh

jobs="${JOBS:-2}"
stages=("$@")
[ ${#stages[@]} -gt 0 ] || stages=(normal sanitize release fuzz)

run_suite() {
  local dir="$1"; shift
  cmake -S . -B "$dir" -G Ninja -DANNONCIA_WERROR=ON "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
  (cd "$dir" && ctest --output-on-failure -j "$jobs" --timeout 300 ${CTEST_ARGS:-})
}

fail() { echo "release: FAILED: $*" >&2; exit 1; }

# A TCP port on loopback that nothing listens on.
closed_port() {
  python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1]); s.close()'
}

# sample_run BIN_DIR WINDIR PORTAL FEED_GLOB [ARCHIVE]: a run on the sample data
# with the photo check off and a closed portal port: the feed (and archive)
# must be made and the upload must fail (exit status 3).
sample_run() {
  local bin=$1 windir=$2 portal=$3 feed=$4 archive=${5:-}
  local upper=${portal^^} status=0
  rm -rf "$windir" && mkdir -p "$windir" && cp -r examples/Windows/TEMP "$windir/"
  {
    printf '[Options]\r\nPathImages=%s\r\nURLImages=http://127.0.0.1/clicheo/\r\n' "$root/examples/photos"
    sed -e "s/@PORTAL_SERVER@/127.0.0.1:$(closed_port)/" -e 's/^TestFTPClicheo=.*/TestFTPClicheo=0/' \
        -e 's/$/\r/' "examples/ini/$portal.ini"
  } >"$bin/Annoncia.ini"
  chmod 640 "$bin/Annoncia.ini"
  WINDIR="$windir" "$bin/annoncia" "$portal" >"$windir/out.txt" 2>&1 || status=$?
  [ "$status" -eq 3 ] || { cat "$windir/out.txt"; fail "$bin/annoncia $portal: exit status $status, 3 expected"; }
  compgen -G "$windir/TEMP/Annoncia/$feed" >/dev/null || fail "$portal: no feed $feed"
  if [ -n "$archive" ]; then
    unzip -tq "$windir/TEMP/Annoncia/$archive" >/dev/null || fail "$portal: archive $archive missing or broken"
  fi
  grep -q . "$windir/TEMP/ZuroviRazevi$upper.log" || fail "$portal: empty log"
  echo "release: $bin/annoncia $portal: feed made, upload refused (exit 3) as expected"
}

# Every fuzz target built with clang (libFuzzer, ASan, UBSan) and run for
# FUZZ_SECONDS (default 30) each: first every input of its committed corpus
# once, then mutations of them. Any crash, leak, sanitizer report, failed check
# or input slower than 10 s fails the stage; the failing input is kept in
# build-fuzz/findings/TARGET/. The inputs a run finds go to a folder of that
# run, so no run starts from what an earlier one found.
fuzz_stage() {
  cmake -S . -B build-fuzz -G Ninja -DANNONCIA_WERROR=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
    -DANNONCIA_FUZZ=ON -DANNONCIA_TESTS=OFF -DANNONCIA_GUI=OFF >/dev/null
  cmake --build build-fuzz -j "$jobs" --target fuzzers
  local seconds="${FUZZ_SECONDS:-30}" target log
  for target in settings xmlcursor textrules ziparchive feeds ftpreplies; do
    echo "-- fuzz_$target: committed corpus, then $seconds s of mutations"
    log="build-fuzz/fuzz-$target.log"
    rm -rf "build-fuzz/run-corpus/$target"
    # The outer bound only catches a harness that libFuzzer itself cannot stop.
    FUZZ_BUILD=0 FUZZ_WORK="build-fuzz/run-corpus/$target" timeout $((seconds + 300)) \
      ./scripts/fuzz.sh "$target" "$seconds" 2>"$log" ||
      { tail -n 60 "$log"; echo "fuzz_$target failed: see $log and build-fuzz/findings/$target/" >&2; return 1; }
    grep -E "INITED|^stat::number_of_executed_units|^Done" "$log" || true
  done
}

release_stage() {
  local dir=build-release tmp
  tmp=$(mktemp -d /tmp/annoncia-release.XXXXXX)
  # shellcheck disable=SC2064
  trap "rm -rf '$tmp'" EXIT
  local prefix="$tmp/prefix"

  # The README's Install commands, word for word but for the build folder's
  # place and the prefix; warnings are errors here (CXXFLAGS), as in the other builds.
  local commands
  commands=$(awk '/^## Install/{f=1; next} f && /^```sh/{c=1; next} c && /^```/{exit} c' README.md)
  grep -q -- '--install' <<<"$commands" || fail "no Install commands found in README.md"
  rm -rf "$dir"
  while IFS= read -r line; do
    case "$line" in ""|./scripts/setup.sh) continue ;; esac
    line=${line//\/opt\/annoncia/$prefix}
    echo "release: $line"
    CXXFLAGS="-Werror" bash -c "$line" >/dev/null
  done <<<"$commands"

  # The installed programs: the zip engine comes from ../lib.
  [ -x "$prefix/bin/annoncia" ] && [ -x "$prefix/bin/annoncia-gui" ] && [ -f "$prefix/lib/libZipDll.so" ] \
    || fail "installed tree incomplete: $(cd "$prefix" && find . | tr '\n' ' ')"
  [ ! -e "$prefix/bin/libZipDll.so" ] || fail "zip engine beside the installed program"
  [ "$("$prefix/bin/annoncia" --version)" = "annoncia 1.1.0.0" ] || fail "installed annoncia --version"
  sample_run "$prefix/bin" "$tmp/windows-installed" SitAutoPro SA123456.xml SA123456.zip

  # The packages, from the same build folder.
  ./scripts/package.sh "$dir" >/dev/null
  local deb gui version
  version=$(sed -n 's/^project(Annoncia VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
  deb="$dir/annoncia_${version}_$(dpkg --print-architecture).deb"
  gui="$dir/annoncia-gui_${version}_$(dpkg --print-architecture).deb"
  [ -f "$deb" ] && [ -f "$gui" ] || fail "packages missing: $(ls "$dir"/*.deb 2>/dev/null)"

  # File lists: every path with its mode (and link target).
  list() { dpkg-deb -c "$1" | awk '{ sub(/^\.\//, "", $6); print $1, $6, $7, $8 }' | sed 's/ *$//' | sort -k2; }
  local unitdir
  unitdir=$(pkg-config --variable=systemdsystemunitdir systemd 2>/dev/null || echo /lib/systemd/system)
  unitdir=${unitdir#/}
  diff -u <(sort -k2 <<EOF2
drwxr-xr-x etc/
drwxr-xr-x etc/default/
-rw-r--r-- etc/default/annoncia
drwxr-xr-x etc/opt/
drwxr-xr-x etc/opt/annoncia/
-rw-r----- etc/opt/annoncia/Annoncia.ini
$(d=""; for part in ${unitdir//\// }; do d="$d$part/"; echo "drwxr-xr-x $d"; done)
-rw-r--r-- $unitdir/annoncia@.service
-rw-r--r-- $unitdir/annoncia@.timer
drwxr-xr-x opt/
drwxr-xr-x opt/annoncia/
drwxr-xr-x opt/annoncia/bin/
lrwxrwxrwx opt/annoncia/bin/Annoncia.ini -> /etc/opt/annoncia/Annoncia.ini
-rwxr-xr-x opt/annoncia/bin/annoncia
drwxr-xr-x opt/annoncia/lib/
-rw-r--r-- opt/annoncia/lib/libZipDll.so
drwxr-xr-x usr/
drwxr-xr-x usr/share/
drwxr-xr-x usr/share/doc/
drwxr-xr-x usr/share/doc/annoncia/
-rw-r--r-- usr/share/doc/annoncia/changelog.gz
-rw-r--r-- usr/share/doc/annoncia/copyright
drwxr-xr-x usr/share/lintian/
drwxr-xr-x usr/share/lintian/overrides/
-rw-r--r-- usr/share/lintian/overrides/annoncia
drwxr-xr-x usr/share/man/
drwxr-xr-x usr/share/man/man1/
-rw-r--r-- usr/share/man/man1/annoncia.1.gz
EOF2
  ) <(list "$deb") || fail "file list of $deb"
  diff -u <(sort -k2 <<EOF2
drwxr-xr-x opt/
drwxr-xr-x opt/annoncia/
drwxr-xr-x opt/annoncia/bin/
-rwxr-xr-x opt/annoncia/bin/annoncia-gui
drwxr-xr-x usr/
drwxr-xr-x usr/share/
drwxr-xr-x usr/share/doc/
drwxr-xr-x usr/share/doc/annoncia-gui/
-rw-r--r-- usr/share/doc/annoncia-gui/changelog.gz
-rw-r--r-- usr/share/doc/annoncia-gui/copyright
drwxr-xr-x usr/share/lintian/
drwxr-xr-x usr/share/lintian/overrides/
-rw-r--r-- usr/share/lintian/overrides/annoncia-gui
EOF2
  ) <(list "$gui") || fail "file list of $gui"
  echo "release: file lists of both packages as expected"

  # Dependencies come from the libraries; the console package needs no Qt.
  local depends gui_depends
  depends=$(dpkg-deb -f "$deb" Depends)
  gui_depends=$(dpkg-deb -f "$gui" Depends)
  grep -q 'libzip4' <<<"$depends" && grep -q 'libcurl' <<<"$depends" || fail "annoncia Depends: $depends"
  ! grep -qi 'qt' <<<"$depends" || fail "annoncia depends on Qt: $depends"
  grep -q "annoncia (= $version)" <<<"$gui_depends" && grep -q 'libqt6widgets6' <<<"$gui_depends" \
    || fail "annoncia-gui Depends: $gui_depends"
  diff <(dpkg-deb --ctrl-tarfile "$deb" | tar -xOf - ./conffiles) \
       <(printf '/etc/opt/annoncia/Annoncia.ini\n/etc/default/annoncia\n') || fail "conffiles of $deb"
  for script in postinst prerm postrm; do
    dpkg-deb --ctrl-tarfile "$deb" | tar -xOf - "./$script" | sh -n || fail "$script of $deb"
  done

  # The unpacked packages run from where they are.
  local pkgroot="$tmp/root"
  dpkg-deb -x "$deb" "$pkgroot"
  dpkg-deb -x "$gui" "$pkgroot"
  [ "$("$pkgroot/opt/annoncia/bin/annoncia" --version)" = "annoncia 1.1.0.0" ] || fail "unpacked annoncia --version"
  [ "$(env -u DISPLAY -u WAYLAND_DISPLAY "$pkgroot/opt/annoncia/bin/annoncia-gui" --version)" = "annoncia-gui 1.1.0.0" ] \
    || fail "unpacked annoncia-gui --version"
  # The link leads to this machine's /etc: the runs use a settings file of their own.
  rm "$pkgroot/opt/annoncia/bin/Annoncia.ini"
  sample_run "$pkgroot/opt/annoncia/bin" "$tmp/windows-package" ParuVendu 'RovelleDatasVO-*.xml'
  sample_run "$pkgroot/opt/annoncia/bin" "$tmp/windows-package" TopAnnonces 'XXXXXX*.xml' 'XXXXXX*.zip'

  # The systemd units, pointed at the unpacked program.
  if command -v systemd-analyze >/dev/null; then
    local units="$tmp/units" report
    mkdir -p "$units"
    sed "s|/opt/annoncia/|$pkgroot/opt/annoncia/|" "$pkgroot/$unitdir/annoncia@.service" >"$units/annoncia@ParuVendu.service"
    cp "$pkgroot/$unitdir/annoncia@.timer" "$units/annoncia@ParuVendu.timer"
    report=$(systemd-analyze verify --man=no "$units/annoncia@ParuVendu.service" "$units/annoncia@ParuVendu.timer" 2>&1) \
      || fail "systemd-analyze verify: $report"
    [ -z "$report" ] || fail "systemd-analyze verify: $report"
    echo "release: systemd units verified"
  else
    echo "release: SKIPPED systemd-analyze verify (systemd is not installed)"
  fi

  if command -v lintian >/dev/null; then
    local report
    report=$(lintian --no-cfg "$deb" "$gui" 2>&1 | grep -v '^running with root privileges' || true)
    if grep -q '^E:' <<<"$report"; then fail "lintian errors:"$'\n'"$report"; fi
    echo "release: lintian: no errors${report:+; warnings:}"
    [ -z "$report" ] || sed 's/^/  /' <<<"$report"
  else
    echo "release: SKIPPED lintian (not installed)"
  fi
  echo "release: packages $deb $gui"
}

for stage in "${stages[@]}"; do
  case "$stage" in
    normal)
      echo "== normal build"
      run_suite build ;;
    sanitize)
      echo "== sanitizer build (ASan + UBSan)"
      # The timing tests measure the sanitizers there, not the code: skipped.
      # A system library's own fault is suppressed by name (see the file).
      CTEST_ARGS="-LE timing" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
        ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:suppressions=$root/scripts/asan-suppressions.txt" \
        run_suite build-sanitize -DANNONCIA_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug ;;
    release)
      echo "== Release build, installed and packaged"
      release_stage ;;
    fuzz)
      echo "== fuzz targets (clang, libFuzzer + ASan + UBSan)"
      fuzz_stage ;;
    *) echo "test.sh: unknown stage $stage (normal, sanitize, release, fuzz)" >&2; exit 2 ;;
  esac
done
