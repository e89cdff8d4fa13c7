#!/usr/bin/env bash
# Installs every Debian package the project needs (idempotent), then
# configures and builds. Usage: scripts/setup.sh [BUILD_DIR] [extra cmake args...]
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$repo/build}
shift || true

packages=(
  build-essential cmake pkg-config g++
  libsoci-dev libboost-dev
  firebird3.0-server-core firebird3.0-utils libfbclient2 firebird-dev
  mariadb-server mariadb-client libmariadb-dev
  libcurl4-openssl-dev libssl-dev ca-certificates
  nlohmann-json3-dev libpugixml-dev libcpp-httplib-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  python3 python3-aiosmtpd openssl curl
  g++-mingw-w64-x86-64 clang-format clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -eq 0 ] || sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S "$repo" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
cmake --build "$build" -j"$(nproc)"
