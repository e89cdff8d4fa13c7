#!/usr/bin/env bash
# The main job on a demo practice: installs and builds, creates a practice in
# demo/ (embedded Firebird files, appointments from tomorrow on), starts the
# simulator of the maker's services, runs one daily send at once and shows the
# activity log and what the simulated SMS gateway received.
#
# Usage: scripts/demo.sh [--test] [--service]
#   --test     test mode: nothing is sent, everything is logged
#   --service  instead of one send, run the service in the foreground on a
#              simulated clock that reaches the send time within seconds
#              (stop it with Ctrl-C)
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
build=$repo/build
demo=$repo/demo
mode=run-now
extra=()
for arg in "$@"; do
  case "$arg" in
    --test) extra+=(--test) ;;
    --service) mode=service ;;
    *) echo "uso: scripts/demo.sh [--test] [--service]" >&2; exit 2 ;;
  esac
done

bash "$repo/scripts/setup.sh" "$build"
eval "$(bash "$repo/scripts/firebird-env.sh" "$build/firebird-sc")"

sim_out=$(mktemp)
"$build/tools/maker-sim/maker-sim" --port 0 > "$sim_out" &
sim_pid=$!
trap 'kill $sim_pid 2>/dev/null || true; rm -f "$sim_out"' EXIT
for _ in $(seq 50); do [ -s "$sim_out" ] && break; sleep 0.1; done
sim=$(head -n 1 "$sim_out")
echo "== simulator of the maker's services at $sim"
# The demo practice signs its SMS as "StudioDemo": register that sender alias.
curl -s -X POST -H 'Content-Type: application/json' -d '{"alias":"StudioDemo"}' \
  "$sim/_sim/aliases" > /dev/null

echo "== demo practice in $demo"
"$build/tools/fixture/oxsms-fixture" --home "$demo" --force --rest-host "$sim" --maker-url "$sim" --whatsapp --patients 60 \
  --appointments 40 --days 3

# A new practice starts a new day: no log, journal or pending payment of an earlier demo.
rm -f "$demo/sms.log" "$demo/diario_invii.json" "$demo/pagamenti_in_sospeso.json"
if [ "$mode" = service ]; then
  tomorrow_start=$(date +%F)" 10:55:00"
  echo "== service in the foreground (simulated clock from $tomorrow_start, one tick a second; Ctrl-C stops)"
  "$build/src/app/oxsmsd" --home "$demo" --fake-now "$tomorrow_start" --interval-ms 1000 "${extra[@]}" &
  svc=$!
  trap 'kill $svc 2>/dev/null || true; kill $sim_pid 2>/dev/null || true; rm -f "$sim_out"' EXIT
  tail -n +1 -F "$demo/sms.log" --pid=$svc 2>/dev/null &
  wait $svc || true
else
  echo "== one daily send (oxsmsd --run-now ${extra[*]:-})"
  "$build/src/app/oxsmsd" --home "$demo" --run-now "${extra[@]}" || true
  echo "== activity log ($demo/sms.log)"
  cat "$demo/sms.log"
fi

echo "== SMS received by the simulated gateway"
curl -s "$sim/_sim/sms" | python3 -c '
import json, sys
msgs = json.load(sys.stdin)
msgs = msgs.get("messages", msgs) if isinstance(msgs, dict) else msgs
for m in msgs:
    print("  %-16s %-10s %s" % (m.get("recipient", m.get("rcpt", "")), m.get("sender", m.get("from", "")), m.get("text", "")))
print("  (%d SMS)" % len(msgs))
'
echo "== WhatsApp template messages received"
curl -s "$sim/_sim/whatsapp" | python3 -c '
import json, sys
msgs = json.load(sys.stdin)
msgs = msgs.get("messages", msgs) if isinstance(msgs, dict) else msgs
for m in msgs:
    v = m.get("variabili", {})
    print("  %-16s %-11s %s %s %s link %s%s" % (m.get("destinatario", ""), m.get("sigla_template", ""),
          v.get("nome", ""), v.get("data", ""), v.get("ora", ""), v.get("link_breve", ""),
          (" pagamento " + v["link_pagamento"]) if v.get("link_pagamento") else ""))
print("  (%d messages)" % len(msgs))
'
echo "== confirmation and payment links created"
curl -s "$sim/_sim/links" | python3 -c '
import json, sys
links = json.load(sys.stdin)
links = links.get("links", links) if isinstance(links, dict) else links
print("  %d confirmation links" % len(links))
'
curl -s "$sim/_sim/payments" | python3 -c '
import json, sys
p = json.load(sys.stdin)
p = p.get("payments", p) if isinstance(p, dict) else p
print("  %d payment links" % len(p))
'
echo "== link codes written back into the agenda and the accounts"
for db in "$demo"/database/agenda*.fdb; do
  [ -f "$db" ] || continue
  tables=$(echo "select trim(rdb\$relation_name) from rdb\$relations where rdb\$relation_name starting with 'AGENDA_';" |
           isql-fb -q -user SYSDBA -password x "$db" 2>/dev/null | grep -E '^AGENDA_' || true)
  for t in $tables; do
    echo "  $(basename "$db") $t:"
    echo "select DATA, ORA, BADGE, ID_WEB, ID_LINKPAG from $t where ID_WEB is not null or ID_LINKPAG is not null order by DATA, ORA;" |
      isql-fb -q -user SYSDBA -password x "$db" 2>/dev/null | sed 's/^/    /' | head -n 20
  done
done
for db in "$demo"/database/pazienti*.fdb; do
  [ -f "$db" ] || continue
  echo "  $(basename "$db") CONTAB (payment links):"
  echo "select CODICE_CLIENTE, IMPORTO, PEC, SCANDOC from CONTAB where TIPO = 14 and PEC is not null;" |
    isql-fb -q -user SYSDBA -password x "$db" 2>/dev/null | sed 's/^/    /' | head -n 20
done
echo "== gateway account after the run"
curl -s "$sim/_sim/state" | python3 -c '
import json, sys
s = json.load(sys.stdin)
for a in s.get("sms", s).get("accounts", []):
    print("  account %s: credit %s" % (a.get("user"), a.get("credit")))
'
