"""A private Dovecot POP3 and IMAP server on 127.0.0.1 for tests and demos.

Configuration, passwd file and maildirs live in a temporary folder that stop() removes.
Run as root: the login processes run as dovenull and the mail as nobody.
"""
import base64
import hashlib
import os
import random
import shutil
import signal
import socket
import ssl
import subprocess
import tempfile
import time

MAIL_UID = 65534  # nobody
MAIL_GID = 65534  # nogroup

CONFIG = """base_dir = {dir}/run
state_dir = {dir}/state
log_path = {dir}/dovecot.log
protocols = pop3 imap
verbose_proctitle = yes
listen = 127.0.0.1
ssl = no
disable_plaintext_auth = no
auth_mechanisms = plain
default_login_user = dovenull
default_internal_user = dovecot
first_valid_uid = 0
mail_location = maildir:{dir}/mail/%u
pop3_uidl_format = %08Xu%08Xv
passdb {{
  driver = passwd-file
  args = scheme=PLAIN username_format=%u {dir}/passwd
}}
userdb {{
  driver = static
  args = uid={uid} gid={gid} home={dir}/mail/%u
}}
service pop3-login {{
  chroot =
  inet_listener pop3 {{
    port = {port}
  }}
}}
service imap-login {{
  chroot =
  inet_listener imap {{
    port = {imap_port}
  }}
}}
service anvil {{
  chroot =
}}
"""


# The provider's token introspection (RFC 7662) decides; the user is its "email".
OAUTH_CONFIG = """introspection_mode = post
introspection_url = {url}/introspect
force_introspection = yes
username_attribute = email
active_attribute = active
active_value = true
"""


def free_port():
    """A free port below 32768, where every stored port of an account can point."""
    for _ in range(100):
        port = random.randint(20000, 32000)
        with socket.socket() as s:
            try:
                s.bind(("127.0.0.1", port))
                return port
            except OSError:
                continue
    raise RuntimeError("no free port")


def self_signed(folder, name="localhost"):
    """A throwaway certificate for name (EC P-256) and its key, made by openssl in folder;
    returns (certificate file, key file, the certificate's SHA-256 in lower-case hex)."""
    cert, key = os.path.join(folder, "cert.pem"), os.path.join(folder, "key.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                    "-nodes", "-days", "2", "-subj", "/CN=" + name, "-addext", "subjectAltName=DNS:" + name,
                    "-keyout", key, "-out", cert], check=True, capture_output=True, timeout=60)
    with open(cert) as f:
        der = ssl.PEM_cert_to_DER_cert(f.read())
    return cert, key, hashlib.sha256(der).hexdigest()


def jis_word(text):
    """text as one MIME encoded word in ISO-2022-JP, base64."""
    return "=?ISO-2022-JP?B?" + base64.b64encode(text.encode("iso2022_jp")).decode() + "?="


class Dovecot:
    def __init__(self, parent=None, binary="/usr/sbin/dovecot", tls=None, oauth=None):
        """parent: the folder to hold the server's own folder (default: the system's temporary
        folder); it must be open to the mail user. tls: (certificate file, key file), PEM, for
        a POP3S listener on tls_port beside the plain one; without it there is no TLS at all.
        oauth: the URL of a provider (tests/support/oauth_server.py) whose /introspect takes
        the access tokens of AUTH XOAUTH2 and OAUTHBEARER; the passwd-file users keep USER/PASS."""
        self.binary = binary
        self.tls = tls
        self.oauth = oauth
        self.tls_port = 0
        self.dir = tempfile.mkdtemp(prefix="lumdovecot-", dir=parent)
        os.chmod(self.dir, 0o755)
        for sub in ("run", "state", "mail"):
            os.makedirs(os.path.join(self.dir, sub))
        os.chown(os.path.join(self.dir, "mail"), MAIL_UID, MAIL_GID)
        open(os.path.join(self.dir, "passwd"), "w").close()
        os.chmod(os.path.join(self.dir, "passwd"), 0o644)
        self.port = 0
        self.imap_port = 0
        self.proc = None
        self.delivered = 0

    def add_user(self, user, password):
        with open(os.path.join(self.dir, "passwd"), "a") as f:
            f.write("%s:{PLAIN}%s\n" % (user, password))
        home = os.path.join(self.dir, "mail", user)
        for sub in ("", "cur", "new", "tmp"):
            path = os.path.join(home, sub)
            os.makedirs(path, exist_ok=True)
            os.chown(path, MAIL_UID, MAIL_GID)

    def deliver(self, user, message, flags=None):
        """message: bytes with CR LF line ends. Mail is numbered in delivery order. With flags
        (maildir letters, "S" for read) it is mail a client has seen: in cur, flags after ":2,"."""
        self.delivered += 1
        name = "%d.M%dP1.lumtest" % (1700000000 + self.delivered, self.delivered)
        if flags is None:
            path = os.path.join(self.dir, "mail", user, "new", name)
        else:
            path = os.path.join(self.dir, "mail", user, "cur", name + ":2," + flags)
        with open(path, "wb") as f:
            f.write(message)
        os.chown(path, MAIL_UID, MAIL_GID)

    def start(self, timeout=20, port=None):
        self.port = port or free_port()
        self.imap_port = free_port()
        while self.imap_port == self.port:
            self.imap_port = free_port()
        conf = os.path.join(self.dir, "dovecot.conf")
        text = CONFIG.format(dir=self.dir, port=self.port, imap_port=self.imap_port, uid=MAIL_UID, gid=MAIL_GID)
        if self.tls:
            self.tls_port = free_port()
            while self.tls_port in (self.port, self.imap_port):
                self.tls_port = free_port()
            text = text.replace("ssl = no\n", "ssl = yes\nssl_cert = <%s\nssl_key = <%s\n" % self.tls)
            text = text.replace("    port = %d\n  }\n" % self.port,
                                "    port = %d\n  }\n  inet_listener pop3s {\n    port = %d\n    ssl = yes\n  }\n"
                                % (self.port, self.tls_port))
        if self.oauth:
            oauth_conf = os.path.join(self.dir, "oauth2.conf")
            with open(oauth_conf, "w") as f:
                f.write(OAUTH_CONFIG.format(url=self.oauth))
            # First in line, for the token mechanisms only: PLAIN still goes to the passwd file.
            text = text.replace("auth_mechanisms = plain\n", "auth_mechanisms = plain xoauth2 oauthbearer\n")
            text = text.replace("passdb {\n", "passdb {\n  driver = oauth2\n  mechanisms = xoauth2 oauthbearer\n"
                                "  args = %s\n}\npassdb {\n" % oauth_conf, 1)
        with open(conf, "w") as f:
            f.write(text)
        self._run(timeout)

    def restart(self, meanwhile=lambda: None, timeout=20):
        """Kills the server with its logins and sessions, calls meanwhile, and starts it again on the
        same ports and mail."""
        os.killpg(self.proc.pid, signal.SIGKILL)
        self.proc.wait()
        meanwhile()
        self._run(timeout)

    def _run(self, timeout):
        # A session of its own: a Ctrl+C in the terminal leaves it to stop().
        self.proc = subprocess.Popen([self.binary, "-F", "-c", os.path.join(self.dir, "dovecot.conf")],
                                     start_new_session=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        end = time.monotonic() + timeout
        while time.monotonic() < end and self.proc.poll() is None:
            try:
                with socket.create_connection(("127.0.0.1", self.port), timeout=1) as s:
                    if s.recv(64).startswith(b"+OK"):
                        return
            except OSError:
                time.sleep(0.1)
        raise RuntimeError("dovecot did not come up: " + self.log())

    def log(self):
        try:
            with open(os.path.join(self.dir, "dovecot.log"), errors="replace") as f:
                return f.read()
        except OSError:
            return ""

    def stop(self):
        if self.proc and self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        shutil.rmtree(self.dir, ignore_errors=True)


def message(from_, subject, body, attachment=None):
    """A message as a Japanese mailer sends it: ISO-2022-JP words, JIS body, CR LF."""
    head = ["From: " + from_, "To: user@example.jp", "Subject: " + subject,
            "Date: Mon, 7 Dec 2026 09:00:00 +0900", "MIME-Version: 1.0"]
    text = body.encode("iso2022_jp")
    if attachment is None:
        head.append("Content-Type: text/plain; charset=ISO-2022-JP")
        return ("\r\n".join(head) + "\r\n\r\n").encode() + text.replace(b"\n", b"\r\n") + b"\r\n"
    name, data = attachment
    head.append('Content-Type: multipart/mixed; boundary="b1"')
    parts = [
        b"--b1\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n\r\n" + text.replace(b"\n", b"\r\n"),
        ("--b1\r\nContent-Type: application/pdf; name=\"%s\"\r\n"
         "Content-Transfer-Encoding: base64\r\n\r\n" % jis_word(name)).encode()
        + base64.encodebytes(data).replace(b"\n", b"\r\n"),
        b"--b1--",
    ]
    return ("\r\n".join(head) + "\r\n\r\n").encode() + b"\r\n".join(parts) + b"\r\n"


def scramble(password):
    """The stored form of an ASCII password: each character's code and a blank."""
    return "".join("%d " % ord(c) for c in password)
