#!/usr/bin/env bash
# Runs every example scenario twice, with the native emulator against
# jovTalvor.so and with the Windows emulator under Wine against the real
# jovTalvor.gau, and compares the two traces update by update: the same
# events, sounds and element values (values within 1e-9, x87 against SSE).
#
# Usage: scripts/wine-compare.sh [--no-build] [SCENARIO...]
#   --no-build  use the builds as they are (scripts/test.sh has just built them)
# Environment: TALVOR_REQUIRE_WINE=1 makes "Wine cannot start here" a failure
# instead of a skip; TALVOR_NATIVE_BUILD names another native build folder
# (default build/native).
#
# Outputs: build/win32/wine-compare/{native,wine}/<scenario>.{jsonl,log}.
# The Wine prefix is build/win32/wineprefix, made once with `wineboot -i`.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

build=1
scenarios=()
for arg in "$@"; do
  case "$arg" in
    --no-build) build=0 ;;
    -h|--help) sed -n '2,17p' "$0"; exit 0 ;;
    -*) echo "wine-compare: unknown option $arg" >&2; exit 2 ;;
    *) scenarios+=("$arg") ;;
  esac
done
[ ${#scenarios[@]} -gt 0 ] || scenarios=(examples/*.scenario)

skip() {
  echo "wine-compare: Wine cannot start on this machine: $1" >&2
  echo "wine-compare: (its kernel runs no 32-bit programs), so the .gau cannot run here; scripts/test.sh still builds and inspects it" >&2
  if [ "${TALVOR_REQUIRE_WINE:-0}" = 1 ]; then exit 1; fi
  echo "wine-compare: SKIPPED"
  exit 0
}

# Wine's loader for 32-bit programs is itself a 32-bit Linux program: a kernel
# without IA-32 emulation (ia32_emulation=off) cannot start it at all. A
# 93-byte i386 program that only exits tells, before Wine is installed.
probe=$(mktemp)
python3 - "$probe" <<'PY'
import struct, sys
code = bytes.fromhex("b801000000" "31db" "cd80")  # exit(0) through int 0x80
base, entry = 0x08048000, 0x08048000 + 52 + 32
size = 52 + 32 + len(code)
elf = (b"\x7fELF\x01\x01\x01" + bytes(9)
       + struct.pack("<HHIIIIIHHHHHH", 2, 3, 1, entry, 52, 0, 0, 52, 32, 1, 0, 0, 0)
       + struct.pack("<8I", 1, 0, base, base, size, size, 5, 0x1000) + code)
open(sys.argv[1], "wb").write(elf)
PY
chmod +x "$probe"
if ! why=$("$probe" 2>&1); then
  rm -f "$probe"
  case "$why" in *"Exec format error"*) skip "Exec format error" ;; esac
else
  rm -f "$probe"
fi

start=$SECONDS
scripts/deps.sh native win32 wine
if [ "$build" = 1 ]; then
  scripts/build-win32.sh
  cmake --build --preset native --target talvor-panel
fi
built=$SECONDS

native_build=${TALVOR_NATIVE_BUILD:-build/native}
native=$native_build/emulator/talvor-panel
exe=build/win32/emulator/talvor-panel.exe
gau=build/win32/jovTalvor.gau
for f in "$native" "$exe" "$gau"; do
  [ -f "$f" ] || { echo "wine-compare: $f is missing (run without --no-build)" >&2; exit 1; }
done

if ! why=$(wine --version 2>&1); then
  skip "${why##*: }"
fi

export WINEPREFIX=$root/build/win32/wineprefix
export WINEARCH=win32
export WINEDEBUG=-all
# No Mono or Gecko prompts, no menu entries; no display is needed.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
unset DISPLAY WAYLAND_DISPLAY
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "wine-compare: making the Wine prefix $WINEPREFIX"
  wineboot -i </dev/null
fi
wineserver -p 30  # keep one server across the runs below
trap 'wineserver -k 2>/dev/null || true' EXIT

# Windows paths on Wine's Z: drive, which maps /.
winpath() { local p="$root/$1"; printf 'Z:%s' "${p//\//\\}"; }

out=build/win32/wine-compare
rm -rf "$out"
mkdir -p "$out/native" "$out/wine"
sounds=$native_build/emulator/Sound  # the same folder for both, so "found" agrees

differ=0
for s in "${scenarios[@]}"; do
  name=$(basename "$s" .scenario)
  native_rc=0
  "$native" run "$s" --no-snapshots --trace-values --trace "$out/native/$name.jsonl" \
      --sound-dir "$sounds" >"$out/native/$name.log" 2>&1 || native_rc=$?
  wine_rc=0
  wine "$exe" run "$(winpath "$s")" --no-snapshots --trace-values \
      --trace "$(winpath "$out/wine/$name.jsonl")" --module "$(winpath "$gau")" \
      --gauges "$(winpath build/win32)" --sound-dir "$(winpath "$sounds")" \
      </dev/null >"$out/wine/$name.log" 2>&1 || wine_rc=$?
  if [ "$native_rc" != "$wine_rc" ]; then
    echo "wine-compare: $name: exit code $native_rc natively, $wine_rc under Wine" >&2
    sed 's/^/  native: /' "$out/native/$name.log" >&2
    sed 's/^/  wine:   /' "$out/wine/$name.log" >&2
    differ=$((differ + 1))
  elif [ ! -f "$out/native/$name.jsonl" ] || [ ! -f "$out/wine/$name.jsonl" ]; then
    echo "wine-compare: $name: no trace written (exit code $native_rc)" >&2
    differ=$((differ + 1))
  elif ! python3 scripts/compare-traces.py "$out/native/$name.jsonl" "$out/wine/$name.jsonl" --label "$name"; then
    differ=$((differ + 1))
  fi
done

total=${#scenarios[@]}
echo "wine-compare: build $((built - start)) s, Wine runs $((SECONDS - built)) s"
if [ "$differ" -gt 0 ]; then
  echo "wine-compare: $differ of $total scenarios differ between jovTalvor.so and jovTalvor.gau under Wine" >&2
  exit 1
fi
echo "wine-compare: all $total scenarios trace alike natively and under Wine"
