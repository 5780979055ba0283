"""A small OAuth 2.0 provider on 127.0.0.1 for tests: the authorization code flow with PKCE
S256, refresh tokens, and token introspection the way Dovecot's oauth2 passdb asks
(introspection_mode = post). Use it in a test as OAuthServer(...).start(), or run it as a
program: it prints its port on the first line of stdout and serves until stdin closes.

Steering: the attributes authorize_mode ("ok", "wrong_state", "access_denied", "error_page"),
token_mode ("ok", "garbage", "redirect", "huge": 100 KiB of JSON, "rotate": a new refresh token
for each refresh, the old one no longer taken), access_lifetime (seconds), access_length
(characters of an access token; the providers' are 1,000 to 2,500); revoke() makes
every token given so far invalid, grant() gives a refresh token as a sign-in would. From
another process: POST /control/mode?authorize=...&token=...&lifetime=..., POST
/control/revoke, POST /control/grant ({"refresh_token": ...}), GET /control/counts (JSON of
token_grants and introspections).
"""
import base64
import hashlib
import json
import secrets
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


def b64url(data):
    return base64.urlsafe_b64encode(data).rstrip(b"=").decode()


def unsigned_jwt(claims):
    return b64url(b'{"alg":"none"}') + "." + b64url(json.dumps(claims).encode()) + "."


class OAuthServer:
    def __init__(self, client_id="lumora-test", client_secret="", user="taro@example.jp"):
        self.client_id, self.client_secret, self.user = client_id, client_secret, user
        self.authorize_mode, self.token_mode, self.access_lifetime, self.access_length = "ok", "ok", 60, 32
        self.token_grants = self.introspections = 0
        self.codes = {}  # code -> (challenge, redirect_uri)
        self.access = {}  # access token -> expiry (time.monotonic)
        self.refresh = set()
        self.lock = threading.RLock()  # held by each request; revoke() and grant() from tests too
        self.httpd = None

    @property
    def url(self):
        return "http://127.0.0.1:%d" % self.port

    def start(self):
        server = self

        class Handler(BaseHTTPRequestHandler):
            def log_message(self, *args):
                pass

            def do_GET(self):
                server.handle(self, "GET")

            def do_POST(self):
                server.handle(self, "POST")

        self.httpd = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
        self.port = self.httpd.server_address[1]
        threading.Thread(target=self.httpd.serve_forever, daemon=True).start()
        return self

    def stop(self):
        self.httpd.shutdown()
        self.httpd.server_close()

    def revoke(self):
        with self.lock:
            self.refresh.clear()
            self.access.clear()

    def grant(self):
        with self.lock:
            token = secrets.token_urlsafe(24)
            self.refresh.add(token)
            return token

    def handle(self, req, method):
        target = urllib.parse.urlsplit(req.path)
        query = dict(urllib.parse.parse_qsl(target.query))
        form = {}
        if method == "POST":
            length = int(req.headers.get("Content-Length") or 0)
            form = dict(urllib.parse.parse_qsl(req.rfile.read(length).decode()))
        routes = {("GET", "/authorize"): self.authorize, ("POST", "/token"): self.token,
                  ("POST", "/introspect"): self.introspect, ("POST", "/control/mode"): self.control_mode,
                  ("POST", "/control/revoke"): self.control_revoke,
                  ("POST", "/control/grant"): lambda r, q, f: self.json(r, 200, {"refresh_token": self.grant()}), ("GET", "/control/counts"): self.counts}
        route = routes.get((method, target.path))
        if route is None:
            return self.send(req, 404, "text/plain", b"not found")
        with self.lock:
            route(req, query, form)

    @staticmethod
    def send(req, status, content_type, body, location=None):
        req.send_response(status)
        req.send_header("Content-Type", content_type)
        req.send_header("Content-Length", str(len(body)))
        if location:
            req.send_header("Location", location)
        req.end_headers()
        req.wfile.write(body)

    def json(self, req, status, obj):
        self.send(req, status, "application/json", json.dumps(obj).encode())

    def authorize(self, req, q, _):
        redirect = q.get("redirect_uri", "")
        if (self.authorize_mode == "error_page" or q.get("client_id") != self.client_id
                or not redirect.startswith("http://127.0.0.1:")):
            return self.send(req, 400, "text/html; charset=utf-8", b"<html><body>invalid request</body></html>")
        state = q.get("state", "")
        if self.authorize_mode == "access_denied":
            answer = {"error": "access_denied", "state": state}
        elif q.get("code_challenge_method") != "S256" or not q.get("code_challenge"):
            answer = {"error": "invalid_request", "state": state}
        else:
            code = secrets.token_urlsafe(16)
            self.codes[code] = (q["code_challenge"], redirect)
            answer = {"code": code, "state": state + "x" if self.authorize_mode == "wrong_state" else state}
        self.send(req, 302, "text/plain", b"", redirect + ("&" if "?" in redirect else "?")
                  + urllib.parse.urlencode(answer))

    def token(self, req, _, f):
        if self.token_mode == "garbage":
            return self.send(req, 200, "text/html", b"<html>Service Unavailable</html>")
        if self.token_mode == "redirect":
            return self.send(req, 307, "text/plain", b"", "http://elsewhere.example/token")
        if self.token_mode == "huge":
            return self.json(req, 200, {"access_token": "at", "padding": "x" * 100 * 1024})
        if f.get("client_id") != self.client_id or f.get("client_secret", "") != self.client_secret:
            return self.json(req, 401, {"error": "invalid_client"})
        grant = f.get("grant_type")
        if grant == "authorization_code":
            challenge, redirect = self.codes.pop(f.get("code", ""), (None, None))
            verifier = f.get("code_verifier", "").encode()
            if challenge is None or redirect != f.get("redirect_uri") or \
                    b64url(hashlib.sha256(verifier).digest()) != challenge:
                return self.json(req, 400, {"error": "invalid_grant"})
        elif grant == "refresh_token":
            if f.get("refresh_token") not in self.refresh:
                return self.json(req, 400, {"error": "invalid_grant"})
            if self.token_mode == "rotate":
                self.refresh.discard(f.pop("refresh_token"))
        else:
            return self.json(req, 400, {"error": "unsupported_grant_type"})
        access = secrets.token_urlsafe(self.access_length)[:self.access_length]
        refresh = f.get("refresh_token") or secrets.token_urlsafe(24)
        self.access[access] = time.monotonic() + self.access_lifetime
        self.refresh.add(refresh)
        self.token_grants += 1
        self.json(req, 200, {"access_token": access, "token_type": "Bearer", "expires_in": self.access_lifetime,
                             "refresh_token": refresh, "id_token": unsigned_jwt({"email": self.user})})

    def introspect(self, req, _, f):
        expiry = self.access.get(f.get("token", ""))
        if expiry is None or expiry < time.monotonic():
            return self.json(req, 200, {"active": False})
        self.introspections += 1
        self.json(req, 200, {"active": True, "email": self.user, "username": self.user,
                             "client_id": self.client_id, "exp": int(time.time() + expiry - time.monotonic())})

    def control_mode(self, req, q, _):
        self.authorize_mode = q.get("authorize", self.authorize_mode)
        self.token_mode = q.get("token", self.token_mode)
        self.access_lifetime = int(q.get("lifetime", self.access_lifetime))
        self.json(req, 200, {})

    def control_revoke(self, req, _q, _f):
        self.revoke()
        self.json(req, 200, {})

    def counts(self, req, _q, _f):
        self.json(req, 200, {"token_grants": self.token_grants, "introspections": self.introspections})


if __name__ == "__main__":
    import argparse
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--client-id", default="lumora-test")
    parser.add_argument("--client-secret", default="")
    parser.add_argument("--user", default="taro@example.jp")
    args = parser.parse_args()
    server = OAuthServer(args.client_id, args.client_secret, args.user).start()
    print(server.port, flush=True)
    sys.stdin.read()
    server.stop()
