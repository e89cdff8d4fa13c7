#!/usr/bin/env bash
# Part of package_test.sh, run by it in a private mount and pid namespace:
#   throwaway_root.sh SCRATCH          makes SCRATCH/root and runs the checks in it
#   throwaway_root.sh --inside         the checks, run by the first form under chroot
# The root's /usr, /etc, /var and /opt are overlays of the machine's whose
# changes land on a tmpfs; the package's dependencies are therefore those the
# machine has installed. Exits 77 when such a root cannot be made.
set -euo pipefail

fail() { echo "FAIL: $*" >&2; exit 1; }
expect_eq() { [ "$1" = "$2" ] || fail "$3: got '$1', expected '$2'"; }
step() { echo "== $*"; }

make_root() {
  local scratch=$1 root=$1/root layers=$1/layers name
  mkdir -p "$layers"
  mount -t tmpfs -o size=1g tmpfs "$layers" || exit 77
  for name in usr etc var opt bin sbin lib lib32 lib64 libx32; do
    if [ -L "/$name" ]; then
      cp -P "/$name" "$root/$name"
    elif [ -d "/$name" ]; then
      mkdir -p "$layers/upper/$name" "$layers/work/$name" "$root/$name"
      mount -t overlay overlay \
        -o "lowerdir=/$name,upperdir=$layers/upper/$name,workdir=$layers/work/$name" \
        "$root/$name" || exit 77
    fi
  done
  mkdir -p "$root/proc" "$root/dev" "$root/tmp" "$root/run" "$root/root" "$root/srv"
  mount -t proc proc "$root/proc"
  mount --rbind /dev "$root/dev"
  mount -t tmpfs tmpfs "$root/tmp"
  mount -t tmpfs tmpfs "$root/run"
  cp "$scratch/oxsms.deb" "$scratch/oxsms-newer.deb" "$0" "$root/tmp/"
  [ ! -e "$scratch/oxsms-fixture" ] || cp "$scratch/oxsms-fixture" "$root/tmp/"
  env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LC_ALL=C.UTF-8 \
    chroot "$root" /bin/bash "/tmp/$(basename "$0")" --inside
}

# dpkg with its output kept; any warning fails: the scripts must run cleanly.
run_dpkg() {
  local out
  out=$(dpkg "$@" 2>&1) || { echo "$out"; fail "dpkg $*"; }
  echo "$out" | grep -i "warning\|error" && fail "dpkg $* warned" || true
}

check_installed() {
  local uid home shell
  IFS=: read -r _ _ uid _ _ home shell < <(getent passwd oxsms) || fail "no user oxsms"
  [ "$uid" -lt 1000 ] || fail "oxsms is no system user (uid $uid)"
  expect_eq "$home" /var/lib/oxsms "home of oxsms"
  expect_eq "$shell" /usr/sbin/nologin "shell of oxsms"
  getent group oxsms >/dev/null || fail "no group oxsms"
  expect_eq "$(stat -c '%U:%G %a' /var/lib/oxsms)" "oxsms:oxsms 750" "home folder"
  expect_eq "$(stat -c '%U:%G %a' /etc/oxsms/config.ini)" "root:oxsms 640" "config.ini"
  expect_eq "$(readlink /var/lib/oxsms/config.ini)" /etc/oxsms/config.ini "config.ini in the home"
  local engine=/var/lib/oxsms/firebird
  expect_eq "$(readlink $engine/firebird.conf)" /etc/oxsms/firebird.conf "engine's firebird.conf"
  [ -f $engine/intl/libfbintl.so ] && [ ! -L $engine/intl/libfbintl.so ] ||
    fail "the character-set module is no file of the engine root"
  [ -e $engine/plugins/libEngine12.so ] || fail "no engine plugin in the engine root"
  expect_eq "$(stat -c '%U %a' $engine/lock)" "oxsms 770" "Firebird lock folder"
  [ -z "$(find /etc/systemd/system -name 'oxsmsd*' 2>/dev/null)" ] || fail "unit enabled at install"
}

# The commands of /usr/bin reach the practice named by /etc/oxsms/config.ini.
check_settings() {
  local expected_time=$1 out
  out=$(oxsms settings show) || fail "oxsms settings show: $out"
  echo "$out" | grep -Eq "^time[[:space:]]+$expected_time$" || fail "settings show: $out"
}

inside() {
  step "install"
  run_dpkg -i /tmp/oxsms.deb
  check_installed
  oxsms --help | grep -q "^uso: oxsms " || fail "oxsms --help"
  oxsmsd --help | grep -q "^uso: oxsmsd " || fail "oxsmsd --help"

  local with_practice=false
  if [ -x /tmp/oxsms-fixture ]; then
    with_practice=true
    step "a practice on the package's Firebird root, config.ini from /etc"
    mkdir /srv/studio
    chown oxsms:oxsms /srv/studio
    echo '{"user":"studio","time":"11.00.00"}' >/tmp/settings.json
    chmod 0644 /tmp/settings.json
    setpriv --reuid=oxsms --regid=oxsms --init-groups \
      env FIREBIRD=/var/lib/oxsms/firebird FIREBIRD_LOCK=/var/lib/oxsms/firebird/lock \
      /tmp/oxsms-fixture --home /srv/studio --patients 3 --appointments 1 --days 1 \
      --settings-json /tmp/settings.json >/dev/null || fail "oxsms-fixture"
    cat /srv/studio/config.ini >/etc/oxsms/config.ini
    check_settings 11.00.00
    oxsms settings set time=9:30 >/dev/null || fail "oxsms settings set"
    check_settings 09.30.00
    # Run by root, the command wrote the log as the service's user.
    expect_eq "$(stat -c %U /var/lib/oxsms/sms.log)" oxsms "owner of sms.log"
  else
    echo "; changed by the administrator" >>/etc/oxsms/config.ini
  fi
  cp /etc/oxsms/config.ini /tmp/config.ini.changed
  local uid
  uid=$(id -u oxsms)

  step "reinstall"
  run_dpkg -i /tmp/oxsms.deb
  check_installed
  cmp -s /etc/oxsms/config.ini /tmp/config.ini.changed || fail "reinstall changed config.ini"

  step "upgrade"
  run_dpkg -i /tmp/oxsms-newer.deb
  check_installed
  [[ $(dpkg-query -W -f '${Version}' oxsms) == *.1-1 ]] || fail "not upgraded"
  cmp -s /etc/oxsms/config.ini /tmp/config.ini.changed || fail "upgrade changed config.ini"
  expect_eq "$(id -u oxsms)" "$uid" "uid after the upgrade"
  ! $with_practice || check_settings 09.30.00

  # The link systemctl enable makes (no systemd runs here); a purge must take it away.
  local wants=/etc/systemd/system/multi-user.target.wants/oxsmsd.service
  mkdir -p "$(dirname $wants)"
  ln -s /lib/systemd/system/oxsmsd.service $wants

  step "remove"
  run_dpkg -r oxsms
  for gone in /usr/lib/oxsms /usr/bin/oxsms /usr/bin/oxsmsd /lib/systemd/system/oxsmsd.service \
    /var/lib/oxsms/firebird; do
    [ ! -e $gone ] || fail "$gone left after removal"
  done
  cmp -s /etc/oxsms/config.ini /tmp/config.ini.changed || fail "removal lost config.ini"
  getent passwd oxsms >/dev/null || fail "removal deleted the user"
  ! $with_practice || [ -f /var/lib/oxsms/sms.log ] || fail "removal lost sms.log"

  step "purge"
  run_dpkg -P oxsms
  [ ! -e /etc/oxsms ] || fail "/etc/oxsms left after purge"
  [ ! -L $wants ] || fail "the unit's link left after purge"
  [ ! -L /var/lib/oxsms/config.ini ] || fail "the home's config.ini link left after purge"
  [ -z "$(dpkg-statoverride --list /etc/oxsms/config.ini)" ] || fail "statoverride left"
  getent passwd oxsms >/dev/null || fail "purge deleted the user"
  if $with_practice; then
    [ -f /var/lib/oxsms/sms.log ] || fail "purge lost the practice's sms.log"
  else
    [ ! -e /var/lib/oxsms ] || fail "purge left an empty home folder"
  fi
  [ -z "$(dpkg-query -W -f '${db:Status-Status}' oxsms 2>/dev/null | grep -v not-installed)" ] ||
    fail "still known to dpkg after purge"
  echo "maintainer scripts: ok"
}

if [ "${1:-}" = --inside ]; then
  inside
else
  make_root "$1"
fi
