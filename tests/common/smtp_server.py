#!/usr/bin/env python3
"""A real SMTP server on 127.0.0.1 for the tests, built on aiosmtpd.

Prints "PORT n" once it listens, then one JSON line per message received: the envelope,
the decoded subject and body, and the headers. Options: --starttls CERT KEY requires
STARTTLS before anything else; --auth USER PASSWORD requires that login.
"""
import argparse
import asyncio
import email
import email.policy
import json
import ssl
import sys

from aiosmtpd.smtp import SMTP, AuthResult


class Recorder:
    async def handle_DATA(self, server, session, envelope):
        message = email.message_from_bytes(envelope.content, policy=email.policy.default)
        print(json.dumps({
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "subject": str(message["subject"]),
            "body": message.get_content(),
            "headers": {name: str(value) for name, value in message.items()},
            "tls": session.ssl is not None,
            "authenticated": bool(session.authenticated),
        }), flush=True)
        return "250 Message accepted"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--starttls", nargs=2, metavar=("CERT", "KEY"))
    parser.add_argument("--auth", nargs=2, metavar=("USER", "PASSWORD"))
    options = parser.parse_args()

    context = None
    if options.starttls:
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(*options.starttls)

    def authenticate(server, session, envelope, mechanism, auth_data):
        ok = (options.auth and auth_data.login.decode() == options.auth[0]
              and auth_data.password.decode() == options.auth[1])
        return AuthResult(success=bool(ok), handled=False)

    def factory():
        return SMTP(Recorder(), hostname="127.0.0.1", tls_context=context,
                    require_starttls=context is not None,
                    authenticator=authenticate if options.auth else None,
                    auth_required=bool(options.auth),
                    auth_require_tls=context is not None)

    loop = asyncio.new_event_loop()
    server = loop.run_until_complete(loop.create_server(factory, "127.0.0.1", 0))
    print("PORT", server.sockets[0].getsockname()[1], flush=True)
    try:
        loop.run_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    sys.exit(main())
