#!/usr/bin/env bash
# tests/scripts/install_deps_test.sh INSTALL_DEPS: scripts/install-deps against a fake apt-get
# whose `update` fails the way a package archive caught mid-sync does (one index does not
# match its release file). The install must go on with the lists that verified, and fail only
# when a package cannot be installed, naming it and the archive's state.
set -uo pipefail
script=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

mkdir -p "$work/bin"
# dpkg-query -W -f=... PKG: installed when PKG is listed in $work/installed.
cat >"$work/bin/dpkg-query" <<'FAKE'
#!/usr/bin/env bash
pkg=${!#}
grep -qxF "$pkg" "$FAKE_STATE/installed" 2>/dev/null && printf 'install ok installed' && exit 0
exit 1
FAKE
cat >"$work/bin/dpkg" <<'FAKE'
#!/usr/bin/env bash
case $1 in
  --print-architecture) echo amd64 ;;
  --print-foreign-architectures) echo i386 ;;
  *) exit 0 ;;
esac
FAKE
# apt-get: every call is logged; `update` fails while $FAKE_STATE/update-failures counts down
# (forever with "always"); `install` fails for the packages named in $FAKE_STATE/broken.
cat >"$work/bin/apt-get" <<'FAKE'
#!/usr/bin/env bash
echo "$*" >>"$FAKE_STATE/log"
for a in "$@"; do
  case $a in update) verb=update ;; install) verb=install ;; esac
done
if [ "$verb" = update ]; then
  left=$(cat "$FAKE_STATE/update-failures")
  if [ "$left" = always ] || [ "$left" -gt 0 ]; then
    [ "$left" = always ] || echo $((left - 1)) >"$FAKE_STATE/update-failures"
    cat >&2 <<MSG
E: Failed to fetch http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]
E: Some index files failed to download. They have been ignored, or old ones used instead.
MSG
    exit 100
  fi
  exit 0
fi
status=0
for a in "$@"; do
  case $a in -*|install|*=*) continue ;; esac
  if grep -qxF "$a" "$FAKE_STATE/broken" 2>/dev/null; then
    echo "E: Unable to correct problems, you have held broken packages." >&2
    status=100
  fi
done
[ $status -eq 0 ] && for a in "$@"; do echo "$a" >>"$FAKE_STATE/installed"; done
exit $status
FAKE
chmod +x "$work/bin"/*

# scenario NAME UPDATE-FAILURES BROKEN-PACKAGES PLATFORM: runs install-deps; leaves its exit
# status in $rc, its stderr in $err and the apt-get calls in $log.
scenario() {
  export FAKE_STATE=$work/$1
  mkdir -p "$FAKE_STATE"
  echo "$2" >"$FAKE_STATE/update-failures"
  printf '%s\n' $3 >"$FAKE_STATE/broken"
  err=$(PATH="$work/bin:$PATH" INSTALL_DEPS_PAUSES="0 0" bash "$script" $4 2>&1 >/dev/null)
  rc=$?
  log=$(cat "$FAKE_STATE/log" 2>/dev/null)
}

scenario transient 1 "" linux
[ $rc -eq 0 ] || fail "a failing first update: exit $rc ($err)"
[ "$(grep -c ' update' <<<"$log")" -eq 2 ] || fail "a failing first update was not retried once: $log"

scenario stale always "" linux
[ $rc -eq 0 ] || fail "an index that never verifies stopped an install that can succeed: exit $rc ($err)"
[ "$(grep -c ' update' <<<"$log")" -eq 3 ] || fail "the update was not tried once per pause and once more: $log"
grep -q ' install ' <<<"$log" || fail "the install was not tried after the update failed"
grep -q 'going on with the package lists that did verify' <<<"$err" || fail "the failed update was not reported: $err"

# Windows: 32-bit Wine alone missing leaves the 64-bit build to run the tests; no Wine at all
# leaves the platform without its tools.
scenario wine32 always "wine32:i386" windows
[ $rc -eq 0 ] || fail "32-bit Wine missing with 64-bit Wine at hand: exit $rc, not 0 ($err)"
grep -q "cannot install package 'wine32:i386'" <<<"$err" || fail "the package was not named: $err"
grep -q 'the i386 lists are older than the amd64 ones.*wine32 cannot be installed until the archive catches up' <<<"$err" \
  || fail "the archive's state was not named: $err"
grep -q 'tests will run on the 64-bit Windows build' <<<"$err" || fail "the fallback was not announced: $err"
for p in g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine64; do
  grep -qxF $p "$FAKE_STATE/installed" || fail "$p was not installed"
done

scenario nowine always "wine32:i386 wine64" windows
[ $rc -eq 3 ] || fail "no Wine installable: exit $rc, not 3"
grep -q "cannot install package 'wine64'" <<<"$err" || fail "the package was not named: $err"

# Every scenario: apt's checks are never bypassed.
if grep -rEi 'allow-(unauthenticated|insecure|downgrade-to-insecure)|AllowInsecure|Check-Valid-Until|trusted=yes' "$work"/*/log; then
  fail "install-deps bypassed apt's signature or hash checks"
fi

[ $failures -eq 0 ] && echo "install-deps: all scenarios passed"
exit $((failures > 0))
