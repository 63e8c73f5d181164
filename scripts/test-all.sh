#!/bin/bash
# Installs what is needed, builds every preset and runs every test:
# Linux (native), ASan + UBSan, the Windows DLLs (32- and 64-bit; the script
# tests run under 64-bit Wine, the 32-bit DLLs are checked statically) and a
# short run of every fuzz target.
#
#   bash scripts/test-all.sh            # everything (as root: installs packages)
#   PLUGKIT_SKIP_INSTALL=1 ...          # skip the package installation
#   PLUGKIT_WINE32=1 ...                # also run the script tests against the
#                                       # 32-bit DLLs under 32-bit Wine (slow;
#                                       # needs a machine whose Wine runs i386)
#   PLUGKIT_FUZZ_SECONDS=N              # seconds per fuzz target (default 20)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)

step() { printf '\n=== %s\n' "$*"; }

if [ "${PLUGKIT_SKIP_INSTALL:-0}" != 1 ]; then
  step "installing packages"
  bash scripts/setup.sh
fi

step "building: win32, win64"
for preset in win32 win64; do
  cmake --preset $preset >/dev/null
  cmake --build build/$preset -j "$jobs"
done

step "building: linux"
cmake --preset linux -DPLUGKIT_WIN_BIN_DIR="$root/build/win64/bin" >/dev/null
cmake --build build/linux -j "$jobs"

step "building: linux-asan"
cmake --preset linux-asan >/dev/null
cmake --build build/linux-asan -j "$jobs"

step "building: fuzz"
cmake --preset fuzz >/dev/null
cmake --build build/fuzz -j "$jobs"

step "starting the X server and the Wine prefix"
export DISPLAY=:99
bash scripts/xserver.sh "$DISPLAY"
export PLUGKIT_WINEPREFIX="$root/build/wineprefix"
WINEDEBUG=-all WINEPREFIX="$PLUGKIT_WINEPREFIX" WINEDLLOVERRIDES="mscoree,mshtml=" \
  timeout 300 /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 || true

failed=0
step "tests: linux (with Wine and the DLL checks)"
ctest --test-dir build/linux -j "$jobs" --repeat until-pass:2 --output-on-failure --timeout 600 || failed=1

step "tests: linux-asan"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 \
LSAN_OPTIONS="suppressions=$root/tests/lsan.supp:print_suppressions=0" \
  ctest --test-dir build/linux-asan -j "$jobs" --repeat until-pass:2 --output-on-failure --timeout 900 -LE 'dll' || failed=1

if [ "${PLUGKIT_WINE32:-0}" = 1 ]; then
  step "tests: 32-bit DLLs under 32-bit Wine (slow mode)"
  cmake --preset linux -B build/linux-wine32 -DPLUGKIT_WIN_BIN_DIR="$root/build/win32/bin" >/dev/null
  cmake --build build/linux-wine32 -j "$jobs"
  PLUGKIT_WINE=wine PLUGKIT_WINE_TIMEOUT=3600 \
    ctest --test-dir build/linux-wine32 -L wine --output-on-failure --timeout 7200 || failed=1
fi

step "fuzzing: ${PLUGKIT_FUZZ_SECONDS:-20} s per target"
mkdir -p build/fuzz/corpus
for target in build/fuzz/bin/*_fuzz; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  mkdir -p "build/fuzz/corpus/$name"
  seeds=()
  # The clip reader starts from the generated test clips.
  if [ "$name" = avi_fuzz ] && ls tests/scripts/fixtures/*.avi >/dev/null 2>&1; then
    mkdir -p build/fuzz/seeds/avi && cp tests/scripts/fixtures/*.avi build/fuzz/seeds/avi/
    seeds=(build/fuzz/seeds/avi)
  fi
  if "$target" -max_total_time="${PLUGKIT_FUZZ_SECONDS:-20}" -timeout=10 -rss_limit_mb=2048 \
       "build/fuzz/corpus/$name" "${seeds[@]}" >"build/fuzz/$name.log" 2>&1; then
    echo "$name: $(grep -Eo 'Done [0-9]+ runs' "build/fuzz/$name.log" | tail -1)"
  else
    echo "$name: FAILED"; tail -40 "build/fuzz/$name.log"; failed=1
  fi
done

if [ "$failed" != 0 ]; then
  step "FAILED"
  exit 1
fi
step "all tests passed"
