"""SMTP servers for the mail integration tests (aiosmtpd).

Five listeners on 127.0.0.1, each writing what it accepts into SPOOL as <n>.eml (the message as
received), <n>.rcpt (the envelope recipients, one a line) and, after a login, <n>.auth (the SASL
mechanism and the user):
  plain     no TLS, no AUTH
  secure    STARTTLS required, then AUTH PLAIN/LOGIN with USER/PASSWORD required
  smtps     implicit TLS
  oauth     STARTTLS, then AUTH required: XOAUTH2 or OAUTHBEARER with a token that the OAuth2 test
            server (OAUTH_URL/introspect) says is active for that user; PLAIN and LOGIN are offered
            but refused as the big providers refuse them ("535 5.7.8 Username and Password not
            accepted", or "550 5.7.30 Basic authentication is not supported for Client Submission"
            for a user whose name starts with "m365")
  xoauth2   the same, offering XOAUTH2 alone (as one big provider does)
A recipient whose local part starts with "refuse" is refused with 550.
Usage: smtp_server.py SPOOL CERT KEY USER PASSWORD PORTFILE OAUTH_URL
The chosen ports are written to PORTFILE as "plain secure smtps oauth xoauth2" once all listen.
"""
import asyncio
import base64
import itertools
import json
import os
import signal
import socket
import ssl
import sys
import threading
import urllib.parse
import urllib.request

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import MISSING, AuthResult, LoginPassword

spool, cert, key, user, password, port_file, oauth_url = sys.argv[1:8]
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
        auth = getattr(session, "auth_data", None)
        if isinstance(auth, dict):
            with open(base + ".auth", "w") as f:
                f.write(f"{auth['mechanism']} {auth['user']}\n")
        os.rename(base + ".tmp", base + ".eml")
        return "250 Message accepted for delivery"


def token_user(token):
    """The user an active token belongs to, asked of the OAuth2 test server; None when inactive."""
    data = urllib.parse.urlencode({"token": token}).encode()
    with urllib.request.urlopen(oauth_url + "/introspect", data, timeout=10) as reply:
        answer = json.load(reply)
    return answer.get("username") if str(answer.get("active")).lower() == "true" else None


class OAuthSpool(Spool):
    """Spool that logs in with bearer tokens only."""

    async def bearer(self, server, args, mechanism, parse):
        blob = base64.b64decode(args[1]) if len(args) > 1 else await server.challenge_auth("")
        if blob is MISSING:
            return AuthResult(success=False, handled=True)
        login, token = parse(blob.decode(errors="replace"))
        if login and token and token_user(token) == login:
            return AuthResult(success=True, auth_data={"mechanism": mechanism, "user": login})
        # The providers' way: an error challenge, the client's empty answer, then the refusal.
        error = json.dumps({"status": "401", "schemes": "bearer", "scope": "https://mail.example/"})
        if await server.challenge_auth(error) is MISSING:
            return AuthResult(success=False, handled=True)
        return AuthResult(success=False, handled=False, message="535 5.7.8 Username and Password not accepted")

    async def auth_XOAUTH2(self, server, args):
        def parse(text):
            fields = dict(p.split("=", 1) for p in text.split("\x01") if "=" in p)
            return fields.get("user"), fields.get("auth", "").removeprefix("Bearer ")
        return await self.bearer(server, args, "XOAUTH2", parse)

    async def auth_OAUTHBEARER(self, server, args):
        def parse(text):
            head, _, rest = text.partition("\x01")
            login = next((p[2:] for p in head.split(",") if p.startswith("a=")), None)
            fields = dict(p.split("=", 1) for p in rest.split("\x01") if "=" in p)
            return login, fields.get("auth", "").removeprefix("Bearer ")
        return await self.bearer(server, args, "OAUTHBEARER", parse)


def refuse_passwords(server, session, envelope, mechanism, auth_data):
    login = auth_data.login.decode() if isinstance(auth_data, LoginPassword) else ""
    if login.startswith("m365"):
        return AuthResult(success=False, handled=False,
                          message="550 5.7.30 Basic authentication is not supported for Client Submission")
    return AuthResult(success=False, handled=False, message="535 5.7.8 Username and Password not accepted")


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
for kind in ("plain", "secure", "smtps", "oauth", "xoauth2"):
    for attempt in range(20):
        port = free_port()
        kwargs = {}
        if kind == "secure":
            kwargs = dict(tls_context=context, require_starttls=True, auth_required=True,
                          auth_require_tls=True, authenticator=authenticator)
        elif kind == "smtps":
            kwargs = dict(ssl_context=context)
        elif kind in ("oauth", "xoauth2"):
            kwargs = dict(tls_context=context, require_starttls=True, auth_required=True, auth_require_tls=True,
                          authenticator=refuse_passwords)
            if kind == "xoauth2":
                kwargs["auth_exclude_mechanism"] = ["OAUTHBEARER"]
        handler = OAuthSpool() if kind in ("oauth", "xoauth2") else Spool()
        c = Controller(handler, hostname="127.0.0.1", port=port, ready_timeout=10, **kwargs)
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
