#!/usr/bin/env bash
# A span of simulated days of oxsmsd against the simulator, with gateway
# faults and kills, then the checks (see soak_main.cpp for what and why).
# Usage: tests/reliability/soak.sh DAYS [SEED]
#   OXSMS_BUILD        build folder (default <repository>/build)
#   OXSMS_SOAK_DRIVER, OXSMSD   the programs (default: in the build folder)
#   SOAK_ARGS          further driver options (--timeout-faults, --interval-ms N)
# The work folder is removed after a pass and kept (and named) after a failure.
set -euo pipefail
days=${1:?"uso: soak.sh GIORNI [SEME]"}
seed=${2:-1}
repo=$(cd "$(dirname "$0")/../.." && pwd)
build=${OXSMS_BUILD:-$repo/build}
driver=${OXSMS_SOAK_DRIVER:-$build/tests/reliability/oxsms_soak}
oxsmsd=${OXSMSD:-$build/src/app/oxsmsd}

# The driver and oxsmsd share the Firebird files: SuperClassic for both.
if [ -z "${FIREBIRD:-}" ]; then
  eval "$(bash "$repo/scripts/firebird-env.sh" "$build/firebird-sc")"
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/oxsms-soak-XXXXXX")
# shellcheck disable=SC2086
if "$driver" --days "$days" --seed "$seed" --oxsmsd "$oxsmsd" --work "$work" ${SOAK_ARGS:-}; then
  rm -rf "$work"
else
  status=$?
  echo "soak non superato: i file sono in $work" >&2
  exit "$status"
fi
