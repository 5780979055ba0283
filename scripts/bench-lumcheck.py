#!/usr/bin/env python3
"""Benchmark (not a test): lumcheck against Python's poplib on a private Dovecot.

1. A mailbox of 2,000 Japanese messages (ISO-2022-JP encoded From and Subject): lumcheck's
   check cycle against a poplib client doing USER/PASS/STAT/TOP n 5/QUIT and decoding From
   and Subject with email.header. Target ratio: <= 1.0.
   The same check with "Option13value" on (every charset) against off. Target: <= 1.1.
   The same check over POP3S (a self-signed certificate for "localhost", verified by both:
   lumcheck by its pin "Sslpin1", poplib.POP3_SSL by a context that trusts it as its CA and
   checks the host name). Target ratio: <= 1.0.
2. One 20 MB message: lumcheck --retrieve 1:1 (check, then RETR and decoding) against
   poplib doing the same TOP and RETR and decoding the body. Target ratio: <= 1.2.

Every lumcheck run starts with an empty cache folder, so each check is a first one (see
bench-distant.py for the checks that follow). lumcheck's times include starting the program (loading Qt), poplib's are taken inside the
running interpreter; the start of `lumcheck --version` is printed so the share it takes
can be seen.

Run as root from the repository after a build:  python3 scripts/bench-lumcheck.py [build]
"--only retrieve" runs part 2 alone:  python3 scripts/bench-lumcheck.py build --only retrieve
"""
import os
import poplib
import shutil
import ssl
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
from dovecot import Dovecot, self_signed  # noqa: E402
from bench_mail import BODY, message, poplib_check, write_settings  # noqa: E402
ARGS = sys.argv[1:]
ONLY = None
if "--only" in ARGS:
    i = ARGS.index("--only")
    if i + 1 >= len(ARGS) or ARGS[i + 1] not in ("check", "retrieve"):
        sys.exit("--only takes check or retrieve")
    ONLY = ARGS[i + 1]
    del ARGS[i:i + 2]
BUILD = ARGS[0] if ARGS else os.path.join(ROOT, "build")
LUMCHECK = os.path.join(BUILD, "bin", "lumcheck")
ROUNDS = 5


def run_lumcheck(cfg, args=()):
    """Every run with an empty cache folder of its own: a first check, without summaries
    kept by an earlier run, as poplib's are."""
    env = dict(os.environ, XDG_CONFIG_HOME=cfg, XDG_CACHE_HOME=tempfile.mkdtemp(dir=cfg))
    t = time.perf_counter()
    r = subprocess.run([LUMCHECK, *args], env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - t
    if r.returncode != 0 or r.stderr:
        sys.exit(f"lumcheck failed: {r.stderr.decode(errors='replace')}")
    return elapsed, r.stdout


def poplib_retrieve(port, user):
    t = time.perf_counter()
    poplib_check(port, user)
    p = poplib.POP3("127.0.0.1", port)
    p._MAXLINE = 1 << 20
    p.user(user)
    p.pass_("pass")
    _, lines, _ = p.retr(1)
    raw = b"\r\n".join(lines)
    body = raw[raw.index(b"\r\n\r\n") + 4:].decode("iso-2022-jp", "replace")
    p.quit()
    return time.perf_counter() - t, len(body)


def best(samples):
    return min(samples)


def main():
    if not os.path.exists(LUMCHECK):
        sys.exit(f"{LUMCHECK} is missing: build first (bash scripts/build.sh build)")
    cfg = tempfile.mkdtemp(prefix="lumbench-cfg-")
    many = [message(i, BODY * 3) for i in range(1, 2001)] if ONLY != "retrieve" else []
    big_body = b""
    big_line = ("二十メガバイトの本文です。" * 2).encode("iso-2022-jp") + b"\r\n"
    big_body = big_line * (20 * 1024 * 1024 // len(big_line))
    cert, key, fingerprint = self_signed(cfg)
    server = Dovecot(tls=(cert, key))
    users = []
    if ONLY != "retrieve":
        users.append(("many", many))
    if ONLY != "check":
        users.append(("big", [message(1, big_body)]))
    for user, messages in users:
        server.add_user(user, "pass")
        for m in messages:
            server.deliver(user, m)
    server.start()
    port = server.port
    try:
        if ONLY != "retrieve":
            check_part(cfg, port, server, cert, fingerprint)
        if ONLY != "check":
            retrieve_part(cfg, port)
    finally:
        server.stop()
        shutil.rmtree(cfg, ignore_errors=True)


def check_part(cfg, port, server, cert, fingerprint):
    # Warm the server's caches once for each client.
    poplib_check(port, "many")
    cfg_many = os.path.join(cfg, "many")
    write_settings(cfg_many, port, "many")
    _, out = run_lumcheck(cfg_many)
    assert out.count(b"\n") == 2000, out[:200]

    lum = best([run_lumcheck(cfg_many)[0] for _ in range(ROUNDS)])
    py = best([poplib_check(port, "many")[0] for _ in range(ROUNDS)])
    print(f"check of 2,000 messages: lumcheck {lum:.3f} s, poplib {py:.3f} s, ratio {lum / py:.2f} (target <= 1.0)")

    context = ssl.create_default_context(cafile=cert)
    cfg_tls = os.path.join(cfg, "tls")
    write_settings(cfg_tls, server.tls_port, "many", f"Sslmode1=1\nSslpin1={fingerprint}\n", host="localhost")
    _, tls_out = run_lumcheck(cfg_tls)
    assert tls_out == out, "the check over POP3S lists the messages differently"
    poplib_check(server.tls_port, "many", context)
    lum_t = best([run_lumcheck(cfg_tls)[0] for _ in range(ROUNDS)])
    py_t = best([poplib_check(server.tls_port, "many", context)[0] for _ in range(ROUNDS)])
    print(f"check of 2,000 messages over POP3S: lumcheck {lum_t:.3f} s, poplib {py_t:.3f} s, "
          f"ratio {lum_t / py_t:.2f} (target <= 1.0)")

    cfg_modern = os.path.join(cfg, "modern")
    write_settings(cfg_modern, port, "many", "Option13value=1\n")
    _, modern_out = run_lumcheck(cfg_modern)
    assert modern_out == out, "the two readings list these messages differently"
    on = best([run_lumcheck(cfg_modern)[0] for _ in range(ROUNDS)])
    off = best([run_lumcheck(cfg_many)[0] for _ in range(ROUNDS)])
    print(f"check of 2,000 messages, reading every charset: on {on:.3f} s, off {off:.3f} s, ratio {on / off:.2f} (target <= 1.1)")

    start = best([run_lumcheck(cfg_many, ["--version"])[0] for _ in range(ROUNDS)])
    print(f"start of lumcheck (--version) included in its times: {start:.3f} s")


def retrieve_part(cfg, port):
    cfg_big = os.path.join(cfg, "big")
    write_settings(cfg_big, port, "big")
    run_lumcheck(cfg_big, ["--retrieve", "1:1"])
    lum_r = best([run_lumcheck(cfg_big, ["--retrieve", "1:1"])[0] for _ in range(3)])
    py_r = best([poplib_retrieve(port, "big")[0] for _ in range(3)])
    print(f"RETR of a 20 MB message: lumcheck {lum_r:.3f} s, poplib {py_r:.3f} s, ratio {lum_r / py_r:.2f} (target <= 1.2)")


if __name__ == "__main__":
    main()
