#!/usr/bin/env bash
# Builds the Debian package with cpack into a scratch folder and checks it:
#  1. its contents, modes, conffiles, dependencies and maintainer scripts;
#  2. install, reinstall, upgrade to a newer version, removal and purge, with
#     the maintainer scripts run for real in a throwaway root: a private mount
#     namespace whose /usr, /etc and /var are overlays of the machine's on a
#     tmpfs, so users added and files installed vanish with it. No systemd
#     runs there, as in a container.
# Exits 77 (skipped) when dpkg-deb is missing, and after part 1 when the
# throwaway root cannot be made (not root, no unshare, no overlayfs).
# Usage: package_test.sh BUILD_DIR SOURCE_DIR [OXSMS_FIXTURE]
set -euo pipefail

build=$1
source=$2
fixture=${3:-}

fail() { echo "FAIL: $*" >&2; exit 1; }
expect_eq() { [ "$1" = "$2" ] || fail "$3: got '$1', expected '$2'"; }

command -v dpkg-deb >/dev/null || { echo "SKIP: dpkg-deb not found"; exit 77; }
command -v cpack >/dev/null || { echo "SKIP: cpack not found"; exit 77; }

scratch=$(mktemp -d /tmp/oxsms-package-XXXXXX)
trap 'rm -rf "$scratch"' EXIT

# ---- 1. The package as built -------------------------------------------------
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
  { cat "$scratch/cpack.log" >&2; fail "cpack"; }
deb=$(ls "$scratch"/out/oxsms_*.deb)

project_version=$(sed -n 's/^project(OXSMS VERSION \([0-9.]*\).*/\1/p' "$source/CMakeLists.txt")
expect_eq "$(dpkg-deb -f "$deb" Package)" oxsms "package name"
expect_eq "$(dpkg-deb -f "$deb" Version)" "$project_version-1" "version"
depends=$(dpkg-deb -f "$deb" Depends)
for needed in firebird3.0-server-core adduser init-system-helpers libc6 libstdc++6 \
  libsoci-core libsoci-firebird libsoci-mysql libcurl4 libssl3; do
  [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done

dpkg-deb -e "$deb" "$scratch/control"
expect_eq "$(sort "$scratch/control/conffiles" | tr '\n' ' ')" \
  "/etc/oxsms/config.ini /etc/oxsms/firebird.conf " "conffiles"
for script in postinst prerm postrm; do
  expect_eq "$(stat -c %a "$scratch/control/$script")" 755 "mode of $script"
done
grep -q "^interest-noawait /usr/lib/.*/firebird/3.0/intl$" "$scratch/control/triggers" ||
  fail "no trigger on the Firebird character-set module"

# Every entry: its mode, owner and path, and nothing outside the package's folders.
dpkg-deb -c "$deb" | awk '{print $1, $2, $6}' | sed 's| \./| /|' >"$scratch/listing"
mode_of() { awk -v p="$1" '$3 == p {print $1, $2}' "$scratch/listing"; }
expect_eq "$(mode_of /usr/lib/oxsms/oxsmsd)" "-rwxr-xr-x root/root" "oxsmsd"
expect_eq "$(mode_of /usr/lib/oxsms/oxsms)" "-rwxr-xr-x root/root" "oxsms"
expect_eq "$(mode_of /usr/lib/oxsms/firebird-env.sh)" "-rwxr-xr-x root/root" "firebird-env.sh"
expect_eq "$(mode_of /usr/bin/oxsms)" "-rwxr-xr-x root/root" "/usr/bin/oxsms"
expect_eq "$(mode_of /usr/bin/oxsmsd)" "-rwxr-xr-x root/root" "/usr/bin/oxsmsd"
expect_eq "$(mode_of /etc/oxsms/config.ini)" "-rw------- root/root" "config.ini"
expect_eq "$(mode_of /etc/oxsms/firebird.conf)" "-rw-r--r-- root/root" "firebird.conf"
expect_eq "$(mode_of /lib/systemd/system/oxsmsd.service)" "-rw-r--r-- root/root" "unit"
outside=$(awk '$1 !~ /^d/ {print $3}' "$scratch/listing" |
  grep -Ev '^/(usr/lib/oxsms|usr/bin|etc/oxsms|lib/systemd/system|usr/share/doc/oxsms)/' || true)
[ -z "$outside" ] || fail "files outside the package's folders: $outside"

dpkg-deb -x "$deb" "$scratch/tree"
! readelf -S "$scratch/tree/usr/lib/oxsms/oxsmsd" | grep -q "\.debug_info" || fail "oxsmsd not stripped"
# The unit runs what the package holds, as the user the postinst creates, with
# the same Firebird root and home as the commands of /usr/bin.
unit=$scratch/tree/lib/systemd/system/oxsmsd.service
exec_start=$(sed -n 's/^ExecStart=//p' "$unit")
[ -x "$scratch/tree${exec_start%% *}" ] || fail "ExecStart runs no program of the package: $exec_start"
[[ $exec_start == *"--home /var/lib/oxsms" ]] || fail "ExecStart home: $exec_start"
grep -qx "User=oxsms" "$unit" || fail "the unit does not run as oxsms"
grep -qx "Environment=FIREBIRD=/var/lib/oxsms/firebird FIREBIRD_LOCK=/var/lib/oxsms/firebird/lock" \
  "$unit" || fail "the unit's Firebird folders"
grep -q '^FIREBIRD=$home/firebird$' "$scratch/tree/usr/bin/oxsms" || fail "the command's Firebird root"
grep -qx "ServerMode = SuperClassic" "$scratch/tree/etc/oxsms/firebird.conf" || fail "server mode"
echo "package contents: ok ($(du -k "$deb" | cut -f1) KiB)"

# ---- 2. The maintainer scripts in a throwaway root ---------------------------
if [ "$(id -u)" -ne 0 ] || ! command -v unshare >/dev/null || ! command -v chroot >/dev/null; then
  echo "SKIP: installing needs root, unshare and chroot (package contents were checked)"
  exit 77
fi

# A newer version of the same package, for the upgrade.
dpkg-deb -R "$deb" "$scratch/newer"
sed -i "s/^Version: .*/Version: $project_version.1-1/" "$scratch/newer/DEBIAN/control"
dpkg-deb --root-owner-group -Zgzip -z1 -b "$scratch/newer" "$scratch/oxsms-newer.deb" >/dev/null
rm -rf "$scratch/newer"

mkdir "$scratch/root"
cp "$deb" "$scratch/oxsms.deb"
[ -z "$fixture" ] || cp "$fixture" "$scratch/oxsms-fixture"
set +e
unshare --mount --pid --fork --propagation private \
  bash "$source/tests/package/throwaway_root.sh" "$scratch" >"$scratch/install.log" 2>&1
status=$?
set -e
cat "$scratch/install.log"
[ $status -ne 77 ] || { echo "SKIP: no throwaway root here (package contents were checked)"; exit 77; }
[ $status -eq 0 ] || fail "install checks (exit $status)"
