"""SMTP servers for the mail integration tests (aiosmtpd).

Three listeners on 127.0.0.1, each writing what it accepts into SPOOL as <n>.eml (the message as
received) and <n>.rcpt (the envelope recipients, one a line):
  plain     no TLS, no AUTH
  secure    STARTTLS required, then AUTH PLAIN/LOGIN with USER/PASSWORD required
  smtps     implicit TLS
A recipient whose local part starts with "refuse" is refused with 550.
Usage: smtp_server.py SPOOL CERT KEY USER PASSWORD PORTFILE
The chosen ports are written to PORTFILE as "plain secure smtps" once all three listen.
"""
import asyncio
import itertools
import os
import signal
import socket
import ssl
import sys
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword

spool, cert, key, user, password, port_file = sys.argv[1:7]
counter = itertools.count(1)
lock = threading.Lock()


class Spool:
    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.split("@")[0].lower().startswith("refuse"):
            return "550 5.1.1 Recipient address rejected: no such user"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        with lock:
            n = next(counter)
        base = os.path.join(spool, str(n))
        with open(base + ".tmp", "wb") as f:
            f.write(envelope.original_content)
        with open(base + ".rcpt", "w") as f:
            f.write("\n".join(envelope.rcpt_tos) + "\n")
        os.rename(base + ".tmp", base + ".eml")
        return "250 Message accepted for delivery"


def authenticator(server, session, envelope, mechanism, auth_data):
    ok = isinstance(auth_data, LoginPassword) and auth_data.login.decode() == user \
        and auth_data.password.decode() == password
    return AuthResult(success=ok, handled=False)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
context.load_cert_chain(cert, key)

controllers = []
ports = []
for kind in ("plain", "secure", "smtps"):
    for attempt in range(20):
        port = free_port()
        kwargs = {}
        if kind == "secure":
            kwargs = dict(tls_context=context, require_starttls=True, auth_required=True,
                          auth_require_tls=True, authenticator=authenticator)
        elif kind == "smtps":
            kwargs = dict(ssl_context=context)
        c = Controller(Spool(), hostname="127.0.0.1", port=port, ready_timeout=10, **kwargs)
        try:
            c.start()
        except Exception as e:  # port taken meanwhile: try another
            print(f"smtp_server: {kind} on {port}: {e}", file=sys.stderr)
            continue
        controllers.append(c)
        ports.append(port)
        break
    else:
        sys.exit(f"smtp_server: no port for {kind}")

with open(port_file + ".tmp", "w") as f:
    f.write(" ".join(map(str, ports)) + "\n")
os.rename(port_file + ".tmp", port_file)

stop = threading.Event()
signal.signal(signal.SIGTERM, lambda *_: stop.set())
signal.signal(signal.SIGINT, lambda *_: stop.set())
stop.wait()
for c in controllers:
    c.stop()
