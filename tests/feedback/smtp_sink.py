"""A local SMTP server for the feedback tests (python3-aiosmtpd).

    smtp_sink.py OUTPUT [--user NAME --password WORD] [--tls-cert PEM --tls-key PEM]

Listens on 127.0.0.1 on a free port and prints that port as the first line
of stdout. Every message it takes is appended to OUTPUT as one JSON line:
the envelope, the decoded Subject/From/To/Date/Message-ID headers, the body
decoded to text (line ends as "\n"), the longest raw line and whether the
raw message is 7-bit. With --user/--password the server requires AUTH
(PLAIN or LOGIN) and takes only that pair. With --tls-cert/--tls-key it
offers STARTTLS and takes no mail before it. Runs until killed.
"""
import argparse
import asyncio
import email
import email.policy
import json
import socket
import ssl
import sys
import warnings

from aiosmtpd.smtp import SMTP, AuthResult


class Sink:
    def __init__(self, output):
        self.output = output

    async def handle_DATA(self, server, session, envelope):
        raw = envelope.original_content or envelope.content
        message = email.message_from_bytes(raw, policy=email.policy.default)
        part = message.get_body(preferencelist=("plain",)) or message
        record = {
            "mail_from": envelope.mail_from,
            "rcpt_tos": envelope.rcpt_tos,
            "authenticated": bool(session.authenticated),
            "tls": session.ssl is not None,
            "subject": str(message.get("Subject", "")),
            "from": str(message.get("From", "")),
            "to": str(message.get("To", "")),
            "date": str(message.get("Date", "")),
            "message_id": str(message.get("Message-ID", "")),
            "content_type": part.get_content_type(),
            "charset": part.get_content_charset(),
            "body": part.get_content().replace("\r\n", "\n"),
            "raw_max_line": max((len(l) for l in raw.split(b"\r\n")), default=0),
            "raw_is_ascii": all(b < 0x80 for b in raw),
        }
        with open(self.output, "a", encoding="utf-8") as out:
            out.write(json.dumps(record) + "\n")
        return "250 OK"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("output")
    parser.add_argument("--user")
    parser.add_argument("--password")
    parser.add_argument("--tls-cert")
    parser.add_argument("--tls-key")
    args = parser.parse_args()

    def authenticator(server, session, envelope, mechanism, auth_data):
        ok = (args.user is not None and auth_data.login.decode() == args.user
              and auth_data.password.decode() == args.password)
        # handled=False: the server answers a refusal with 535 itself.
        return AuthResult(success=ok, handled=False)

    require_auth = args.user is not None
    # AUTH without TLS is what these tests want, on 127.0.0.1 only.
    warnings.filterwarnings("ignore", message="Requiring AUTH while not requiring TLS")
    sock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    sock.bind(("127.0.0.1", 0))
    sock.listen(8)

    tls = None
    if args.tls_cert:
        tls = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        tls.load_cert_chain(args.tls_cert, args.tls_key)

    loop = asyncio.new_event_loop()
    factory = lambda: SMTP(Sink(args.output), hostname="sink.test",
                           authenticator=authenticator if require_auth else None,
                           auth_required=require_auth, auth_require_tls=False,
                           tls_context=tls, require_starttls=tls is not None)
    loop.run_until_complete(loop.create_server(factory, sock=sock))
    print(sock.getsockname()[1], flush=True)
    loop.run_forever()


if __name__ == "__main__":
    sys.exit(main())
