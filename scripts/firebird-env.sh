#!/bin/sh
# Prepares a Firebird root folder of our own for embedded use by several
# processes at once: everything the system's root has (settings, plugins,
# character sets, messages), but "ServerMode = SuperClassic", and a lock
# folder of our own. In the default SuperServer mode a second
# process that opens a file already open elsewhere fails with "Database
# already opened with engine instance, incompatible with current".
#
# Usage: eval "$(scripts/firebird-env.sh [FOLDER])"
#   FOLDER defaults to <repository>/build/firebird-sc. Running it again is
#   harmless. Prints the export lines of FIREBIRD and FIREBIRD_LOCK; every
#   process sharing a database file must run with the same two values.
#   With OXSMS_FIREBIRD_CONF naming a file, the root's firebird.conf is a link
#   to it instead (the Debian package's /etc/oxsms/firebird.conf, which the
#   administrator edits and which must itself say "ServerMode = SuperClassic").
set -eu

repo=$(cd "$(dirname "$0")/.." && pwd)
root=${1:-$repo/build/firebird-sc}

# The system's Firebird 3 files (Debian layout first, then a classic install).
sysroot=
for candidate in /usr/lib/x86_64-linux-gnu/firebird/3.0 /usr/lib/firebird/3.0 /opt/firebird; do
  if [ -d "$candidate/plugins" ]; then sysroot=$candidate; break; fi
done
if [ -z "$sysroot" ]; then
  echo "firebird-env.sh: no Firebird 3 installation found" >&2
  exit 1
fi
confdir=/etc/firebird/3.0
[ -d "$confdir" ] || confdir=$sysroot

mkdir -p "$root" "$root/lock"
root=$(cd "$root" && pwd)

# Link one entry of the system's installation into our root, when it exists.
link_entry() {
  name=$1
  for source in "$sysroot/$name" "$confdir/$name"; do
    if [ -e "$source" ]; then
      ln -sfn "$source" "$root/$name"
      return 0
    fi
  done
  return 0
}

for entry in plugins plugins.conf firebird.msg lib UDF fbintl.conf security3.fdb databases.conf; do
  link_entry "$entry"
done

# The character sets other than the built-in ones (WIN1252, ISO8859_1, ...)
# come from the module intl/libfbintl.so. The engine resolves the module's
# links and loads it only from inside its own root, so the module is a file
# of ours (a hard link where the file system allows it, else a copy) beside
# the system's fbintl.conf.
[ -L "$root/intl" ] && rm -f "$root/intl"
mkdir -p "$root/intl"
for source in "$sysroot/intl/fbintl.conf" "$confdir/fbintl.conf"; do
  if [ -e "$source" ]; then ln -sfn "$source" "$root/intl/fbintl.conf"; break; fi
done
for module in "$sysroot"/intl/*.so; do
  [ -e "$module" ] || continue
  target="$root/intl/$(basename "$module")"
  if ! cmp -s "$module" "$target"; then
    module_tmp="$target.$$"
    ln -f "$module" "$module_tmp" 2>/dev/null || cp -f "$module" "$module_tmp"
    mv -f "$module_tmp" "$target"
  fi
done

# firebird.conf is the system's with the server mode replaced, written anew
# through a temporary file, so a concurrent reader never sees half a file.
if [ -n "${OXSMS_FIREBIRD_CONF:-}" ]; then
  ln -sfn "$OXSMS_FIREBIRD_CONF" "$root/firebird.conf"
else
  conf_tmp="$root/firebird.conf.$$"
  {
    if [ -f "$confdir/firebird.conf" ]; then
      grep -v -i '^[[:space:]]*ServerMode[[:space:]]*=' "$confdir/firebird.conf" || true
    fi
    echo "# Embedded use by several processes on the same files (tests, demo)."
    echo "ServerMode = SuperClassic"
  } > "$conf_tmp"
  mv -f "$conf_tmp" "$root/firebird.conf"
fi

# Single-quoted for the shell that evaluates the lines.
quote() { printf "'%s'" "$(printf '%s' "$1" | sed "s/'/'\\\\''/g")"; }
printf 'export FIREBIRD=%s\n' "$(quote "$root")"
printf 'export FIREBIRD_LOCK=%s\n' "$(quote "$root/lock")"
