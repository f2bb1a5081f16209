#!/usr/bin/env bash
# Installs the Debian packages a target needs, only those that are missing.
# Usage: scripts/deps.sh [native] [win32] [wine] [browser] [fuzz] [pefile]
set -euo pipefail

want=()
for group in "${@:-native}"; do
  case "$group" in
    native)  want+=(build-essential cmake ninja-build pkg-config libcairo2-dev fonts-dejavu-core
                    libgtest-dev libgmock-dev libbenchmark-dev libcli11-dev libcpp-httplib-dev
                    nlohmann-json3-dev python3 valgrind) ;;
    win32)   want+=(g++-mingw-w64-i686 binutils-mingw-w64-i686 python3-pefile) ;;
    wine)    want+=(wine wine32:i386) ;;
    browser) want+=(chromium)
             command -v npm >/dev/null 2>&1 || want+=(nodejs npm) ;;
    fuzz)    want+=(clang libclang-rt-14-dev) ;;
    *) echo "deps.sh: unknown group '$group'" >&2; exit 2 ;;
  esac
done

missing=()
for pkg in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'ok installed' || missing+=("$pkg")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
for pkg in "${missing[@]}"; do
  case "$pkg" in
    *:i386) dpkg --print-foreign-architectures | grep -qx i386 || $sudo dpkg --add-architecture i386 ;;
  esac
done
echo "deps.sh: installing ${missing[*]}"
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
