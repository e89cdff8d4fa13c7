#!/usr/bin/env bash
# The main job on a demo practice: installs and builds, creates a practice in
# demo/ (embedded Firebird files, appointments from tomorrow on), starts the
# simulator of the maker's services and a local SMTP server for the
# practice's email account, runs one daily send at once and shows the
# activity log, what the simulated SMS gateway received and the reminder
# emails the SMTP server took (kept as .eml files in demo/mail/).
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

# The helpers run in sessions of their own, so that Ctrl-C stops only the
# service and what they received can still be shown; they stop on exit.
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
# Waits until the helper wrote its first line (its address or port).
first_line() {
  for _ in $(seq 100); do [ -s "$1" ] && break; sleep 0.1; done
  head -n 1 "$1"
}

setsid "$build/tools/maker-sim/maker-sim" --port 0 > "$work/sim" &
pids+=($!)
sim=$(first_line "$work/sim")
echo "== simulator of the maker's services at $sim"

# The practice's SMTP account: plain SMTP with login on a free loopback port.
mail=$demo/mail
rm -rf "$mail"
mkdir -p "$mail"
setsid /usr/bin/python3 "$repo/scripts/smtp-server.py" --dir "$mail" --user studio --password demo \
  > "$work/smtp" 2> "$work/smtp.err" &
pids+=($!)
smtp_port=$(first_line "$work/smtp")
[ -n "$smtp_port" ] || { cat "$work/smtp.err" >&2; echo "demo: the SMTP server did not start" >&2; exit 1; }
echo "== SMTP server at 127.0.0.1:$smtp_port (messages in $mail)"
# The demo practice signs its SMS as "StudioDemo": register that sender alias.
curl -s -X POST -H 'Content-Type: application/json' -d '{"alias":"StudioDemo"}' \
  "$sim/_sim/aliases" > /dev/null

echo "== demo practice in $demo"
"$build/tools/fixture/oxsms-fixture" --home "$demo" --force --rest-host "$sim" --maker-url "$sim" --whatsapp --patients 60 \
  --appointments 40 --days 3 --smtp "127.0.0.1:$smtp_port:studio:demo:studio@example.com"

# A new practice starts a new day: no log, journal or pending payment of an earlier demo.
rm -f "$demo/sms.log" "$demo/diario_invii.json" "$demo/pagamenti_in_sospeso.json" "$demo"/rapporto_*.json*
if [ "$mode" = service ]; then
  tomorrow_start=$(date +%F)" 10:55:00"
  echo "== service in the foreground (simulated clock from $tomorrow_start, one tick a second; Ctrl-C stops)"
  "$build/src/app/oxsmsd" --home "$demo" --fake-now "$tomorrow_start" --interval-ms 1000 "${extra[@]}" &
  svc=$!
  pids+=($svc)
  tail -n +1 -F "$demo/sms.log" --pid=$svc 2>/dev/null &
  # Ctrl-C stops the service (it gets the signal as well); then the rest is shown.
  trap 'kill -TERM $svc 2>/dev/null || true' INT
  wait $svc || true
  wait $svc 2>/dev/null || true
  trap - INT
else
  echo "== what today's run would send (oxsms preview, first lines)"
  "$build/src/app/oxsms" --home "$demo" preview --date "$(date +%F)" | head -n 12 || true
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
echo "== the day's report (oxsms report, totals of each run)"
"$build/src/app/oxsms" --home "$demo" report | grep -E '^(rapporto|esecuzione|  righe)' || true
echo "== emails received by the SMTP server (reminders, payment links, birthday greetings)"
/usr/bin/python3 - "$mail" <<'PY'
import email, email.policy, glob, html, os, re, sys
count = 0
for name in sorted(glob.glob(os.path.join(sys.argv[1], "*.eml"))):
    with open(name, "rb") as f:
        msg = email.message_from_binary_file(f, policy=email.policy.default)
    # The first text part: its bytes decoded from the transfer encoding and the charset.
    part = next((p for p in msg.walk() if p.get_content_maintype() == "text"), None)
    body = part.get_content() if part else ""
    first = re.split(r"<br\s*/?>|<p>|\r?\n", body.strip(), maxsplit=1)[0]
    first = html.unescape(re.sub(r"<[^>]*>", "", first)).strip()
    charset = part.get_content_charset() if part else "-"
    print("  %-34s %s" % (msg["To"], msg["Subject"]))
    print("  %-34s %s [%s]" % ("", first, charset))
    count += 1
print("  (%d emails)" % count)
PY
