"""A small OAuth2 authorization server for the mail sign-in tests, on 127.0.0.1.

  GET  /authorize   authorization code with PKCE (S256 only) and state; approves at once as the
                    user named by login_hint (else the default user) and redirects to the loopback
                    redirect_uri with code and state, or with error=access_denied for client "deny"
  POST /token       grant_type authorization_code (code_verifier checked, code used once) or
                    refresh_token; answers access_token, expires_in, refresh_token (a new one each
                    time; the old one stays valid, as the big providers do)
  POST /introspect  token=... -> {"active": ..., "username": ...}; asked by dovecot and the SMTP server
  POST /revoke      token=... revokes it (RFC 7009)
Test controls:
  POST /admin/lifetime?seconds=N   lifetime of access tokens issued from now on
  POST /admin/expire_access        every access token issued so far stops working
  POST /admin/revoke_all           every access and refresh token stops working
  GET  /admin/issued               every token issued so far, one a line
  GET  /admin/stats                JSON counts of grants
A client ID ending in "-secret" must send client_secret "s3cret" (as a provider that still wants one).
Usage: oauth_server.py DEFAULT_USER PORTFILE
"""
import base64
import hashlib
import json
import os
import secrets
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

default_user, port_file = sys.argv[1:3]
lock = threading.Lock()
codes = {}  # code -> dict(client_id, redirect_uri, challenge, user, scope)
access = {}  # token -> dict(user, expires, scope)
refresh = {}  # token -> dict(user, client_id, scope)
issued = []
stats = {"authorization_code": 0, "refresh_token": 0, "refused_refresh": 0, "introspect": 0}
lifetime = [3600]


def loopback_redirect(uri):
    u = urllib.parse.urlsplit(uri)
    return u.scheme == "http" and u.hostname in ("127.0.0.1", "localhost", "::1") and u.port


def new_token(prefix):
    token = prefix + secrets.token_urlsafe(24)
    issued.append(token)
    return token


class Handler(BaseHTTPRequestHandler):
    def log_message(self, fmt, *args):
        sys.stderr.write("oauth_server: " + (fmt % args) + "\n")

    def reply(self, status, body, content_type="application/json", headers=()):
        data = body.encode() if isinstance(body, str) else body
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Cache-Control", "no-store")
        for k, v in headers:
            self.send_header(k, v)
        self.end_headers()
        self.wfile.write(data)

    def json(self, status, obj):
        self.reply(status, json.dumps(obj))

    def form(self):
        length = int(self.headers.get("Content-Length") or 0)
        raw = self.rfile.read(length).decode()
        return {k: v[0] for k, v in urllib.parse.parse_qs(raw, keep_blank_values=True).items()}

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        q = {k: v[0] for k, v in urllib.parse.parse_qs(url.query, keep_blank_values=True).items()}
        if url.path == "/authorize":
            return self.authorize(q)
        if url.path == "/admin/issued":
            with lock:
                return self.reply(200, "\n".join(issued) + "\n", "text/plain")
        if url.path == "/admin/stats":
            with lock:
                return self.json(200, stats)
        self.reply(404, "not found", "text/plain")

    def authorize(self, q):
        redirect = q.get("redirect_uri", "")
        if not loopback_redirect(redirect):
            return self.reply(400, "redirect_uri must be a loopback address", "text/plain")
        if q.get("response_type") != "code" or not q.get("client_id"):
            return self.reply(400, "response_type=code and client_id are required", "text/plain")
        back = {"state": q["state"]} if "state" in q else {}
        if q["client_id"] == "deny":
            back["error"] = "access_denied"
        elif q.get("code_challenge_method") != "S256" or len(q.get("code_challenge", "")) < 43:
            back["error"] = "invalid_request"
            back["error_description"] = "PKCE with S256 is required"
        else:
            code = secrets.token_urlsafe(16)
            with lock:
                codes[code] = dict(client_id=q["client_id"], redirect_uri=redirect, challenge=q["code_challenge"],
                                   user=q.get("login_hint") or default_user, scope=q.get("scope", ""))
            back["code"] = code
        sep = "&" if "?" in redirect else "?"
        self.reply(302, "", "text/plain", [("Location", redirect + sep + urllib.parse.urlencode(back))])

    def do_POST(self):
        url = urllib.parse.urlsplit(self.path)
        q = {k: v[0] for k, v in urllib.parse.parse_qs(url.query).items()}
        f = self.form()
        with lock:
            if url.path == "/token":
                return self.token(f)
            if url.path == "/introspect":
                stats["introspect"] += 1
                entry = access.get(f.get("token", ""))
                if entry and entry["expires"] > time.time():
                    return self.json(200, {"active": "true", "username": entry["user"], "scope": entry["scope"]})
                return self.json(200, {"active": "false"})
            if url.path == "/revoke":
                access.pop(f.get("token", ""), None)
                refresh.pop(f.get("token", ""), None)
                return self.reply(200, "", "text/plain")
            if url.path == "/admin/lifetime":
                lifetime[0] = int(q.get("seconds", "3600"))
                return self.json(200, {"lifetime": lifetime[0]})
            if url.path == "/admin/expire_access":
                access.clear()
                return self.json(200, {})
            if url.path == "/admin/revoke_all":
                access.clear()
                refresh.clear()
                return self.json(200, {})
        self.reply(404, "not found", "text/plain")

    def token(self, f):
        client = f.get("client_id", "")
        if client.endswith("-secret") and f.get("client_secret") != "s3cret":
            return self.json(401, {"error": "invalid_client"})
        grant = f.get("grant_type")
        if grant == "authorization_code":
            entry = codes.pop(f.get("code", ""), None)
            if not entry or entry["client_id"] != client or entry["redirect_uri"] != f.get("redirect_uri"):
                return self.json(400, {"error": "invalid_grant"})
            digest = hashlib.sha256(f.get("code_verifier", "").encode()).digest()
            if base64.urlsafe_b64encode(digest).rstrip(b"=").decode() != entry["challenge"]:
                return self.json(400, {"error": "invalid_grant", "error_description": "PKCE verification failed"})
            stats["authorization_code"] += 1
            return self.issue(entry["user"], client, entry["scope"])
        if grant == "refresh_token":
            entry = refresh.get(f.get("refresh_token", ""))
            if not entry or entry["client_id"] != client:
                stats["refused_refresh"] += 1
                return self.json(400, {"error": "invalid_grant", "error_description": "refresh token revoked"})
            stats["refresh_token"] += 1
            return self.issue(entry["user"], client, entry["scope"])
        return self.json(400, {"error": "unsupported_grant_type"})

    def issue(self, user, client, scope):
        token = new_token("at-")
        renewal = new_token("rt-")
        access[token] = dict(user=user, expires=time.time() + lifetime[0], scope=scope)
        refresh[renewal] = dict(user=user, client_id=client, scope=scope)
        # Like one big provider, the answer leaves offline_access out of the scope it names.
        named = " ".join(s for s in scope.split() if s != "offline_access")
        return self.json(200, {"access_token": token, "token_type": "Bearer", "expires_in": lifetime[0],
                               "refresh_token": renewal, "scope": named})


for attempt in range(20):
    try:
        server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        break
    except OSError as e:
        print(f"oauth_server: {e}", file=sys.stderr)
else:
    sys.exit("oauth_server: no port")
server.daemon_threads = True
with open(port_file + ".tmp", "w") as f:
    f.write(f"{server.server_address[1]}\n")
os.rename(port_file + ".tmp", port_file)
server.serve_forever()
