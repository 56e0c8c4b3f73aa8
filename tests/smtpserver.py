#!/usr/bin/python3
"""SMTP server for the tests, on aiosmtpd.

Listens on 127.0.0.1 on an ephemeral port and prints "PORT <n>" once it
accepts connections. Every message it accepts is appended to the mail log as
one JSON object per line: {"mail_from", "rcpt_tos", "login", "data"} (data
is the message as received, decoded as UTF-8 with replacement). With --user
NAME PASSWORD a login is offered (over plain text: the tests run on
loopback) and checked; a failed login is logged as {"failed_login": NAME}.
The server ends by itself after --lifetime seconds, and as soon as its
standard input reaches end of file (its parent went away).

Fault switches (--fault NAME, repeatable):
  silent       connections are accepted and never answered (no greeting)
  reject_rcpt  every recipient is refused with 550
"""
import argparse
import asyncio
import json

from aiosmtpd.smtp import SMTP, AuthResult

import serverlife  # beside this script


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--log", required=True)
    parser.add_argument("--user", nargs=2, metavar=("NAME", "PASSWORD"))
    parser.add_argument("--fault", action="append", default=[])
    parser.add_argument("--lifetime", type=float, default=120)
    args = parser.parse_args()

    log = open(args.log, "a", encoding="utf-8")

    def record(entry):
        log.write(json.dumps(entry) + "\n")
        log.flush()

    class Handler:
        async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
            if "reject_rcpt" in args.fault:
                return "550 No such user here"
            envelope.rcpt_tos.append(address)
            return "250 OK"

        async def handle_DATA(self, server, session, envelope):
            login = session.auth_data.decode() if isinstance(session.auth_data, bytes) else session.auth_data
            record({"mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos, "login": login,
                    "data": envelope.original_content.decode("utf-8", "replace")})
            return "250 Message accepted"

    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = args.user is not None and auth_data.login.decode() == args.user[0] \
            and auth_data.password.decode() == args.user[1]
        if not ok:
            record({"failed_login": auth_data.login.decode("utf-8", "replace")})
            return AuthResult(success=False, handled=False)
        return AuthResult(success=True, auth_data=auth_data.login)

    def factory():
        options = {}
        if args.user:
            options = dict(authenticator=authenticator, auth_require_tls=False)
        return SMTP(Handler(), hostname="annoncia-test", **options)

    async def silent(reader, writer):
        await asyncio.sleep(args.lifetime)

    loop = asyncio.new_event_loop()
    if "silent" in args.fault:
        server = loop.run_until_complete(asyncio.start_server(silent, "127.0.0.1", 0))
    else:
        server = loop.run_until_complete(loop.create_server(factory, "127.0.0.1", 0))

    serverlife.end_with_parent(args.lifetime)
    print("PORT %d" % server.sockets[0].getsockname()[1], flush=True)
    loop.run_forever()


if __name__ == "__main__":
    main()
