#!/usr/bin/python3
"""A small SMTP server for the demo and the tests (aiosmtpd): saves every
message it takes as N.eml (the data as received) and N.json (envelope
sender, recipients, the user that logged in), the JSON written last so a
reader never sees half.

Usage: smtp-server.py --dir DIR [--port N] [--tlscert F --tlskey F]
                      [--require-starttls] [--user U --password P]
                      [--auth-required] [--auth-require-tls]
                      [--defer ADDRESS]...

Port 0 (the default) takes a free port. The port is printed on the first
line of standard output once the server accepts connections. Runs until
killed. --defer answers "451 try again later" to the first RCPT TO of
that address (a server that asks to try later), and takes it afterwards.
"""

import argparse
import asyncio
import json
import os
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


class SavingHandler:
    def __init__(self, folder, defer):
        self.folder = folder
        self.count = 0
        self.defer = set(defer)

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address in self.defer:
            self.defer.discard(address)
            return "451 4.3.0 Try again later"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, "%04d" % self.count)
        data = envelope.original_content or envelope.content
        if isinstance(data, str):
            data = data.encode("utf-8", "surrogateescape")
        with open(base + ".eml", "wb") as out:
            out.write(data)
        login = getattr(session, "auth_data", None) if session.authenticated else None
        if isinstance(login, bytes):
            login = login.decode("utf-8", "replace")
        side = {"mail_from": envelope.mail_from, "rcpt_tos": list(envelope.rcpt_tos),
                "login": login if isinstance(login, str) else None,
                "tls": session.ssl is not None}
        with open(base + ".tmp", "w", encoding="utf-8") as out:
            json.dump(side, out)
        os.replace(base + ".tmp", base + ".json")
        return "250 Message accepted for delivery"


def make_authenticator(user, password):
    def authenticate(server, session, envelope, mechanism, auth_data):
        if not isinstance(auth_data, LoginPassword):
            return AuthResult(success=False, handled=False)
        ok = (auth_data.login.decode("utf-8", "replace") == user and
              auth_data.password.decode("utf-8", "replace") == password)
        return AuthResult(success=ok, handled=False, auth_data=auth_data.login if ok else None)
    return authenticate


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--dir", required=True)
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--tlscert")
    parser.add_argument("--tlskey")
    parser.add_argument("--require-starttls", action="store_true")
    parser.add_argument("--user")
    parser.add_argument("--password")
    parser.add_argument("--auth-required", action="store_true")
    parser.add_argument("--auth-require-tls", action="store_true")
    parser.add_argument("--defer", action="append", default=[])
    args = parser.parse_args()

    context = None
    if args.tlscert:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.tlscert, args.tlskey)
    authenticator = make_authenticator(args.user, args.password) if args.user else None
    handler = SavingHandler(args.dir, args.defer)

    def factory():
        return SMTP(handler, hostname="localhost", tls_context=context,
                    require_starttls=args.require_starttls and context is not None,
                    authenticator=authenticator, auth_required=args.auth_required,
                    auth_require_tls=args.auth_require_tls)

    loop = asyncio.new_event_loop()
    asyncio.set_event_loop(loop)
    server = loop.run_until_complete(loop.create_server(factory, host=args.host, port=args.port))
    print(server.sockets[0].getsockname()[1], flush=True)
    try:
        loop.run_forever()
    finally:
        server.close()


if __name__ == "__main__":
    sys.exit(main())
