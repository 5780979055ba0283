"""What the benchmarks in scripts/ share: the Japanese messages they fill mailboxes with,
lumcheck's settings store for one account, and the poplib client they measure against."""
import email.header
import os
import poplib
import time

NAMES = ["山田太郎", "佐藤花子", "鈴木一郎", "高橋美咲", "田中健太"]
SUBJECTS = ["会議の件", "請求書の送付について", "こんにちは", "週報（第%d週）", "新製品のご案内", "テスト"]
BODY = "本日は晴天なり。メールの性能を測っています。".encode("iso-2022-jp") + b"\r\n"


def encoded(text):
    return email.header.Header(text, "iso-2022-jp").encode()


def message(i, body):
    name = NAMES[i % len(NAMES)]
    subject = SUBJECTS[i % len(SUBJECTS)]
    if "%d" in subject:
        subject = subject % i
    head = (f"Message-ID: <bench{i}@example.jp>\r\n"
            f"Date: Mon, 7 Dec 2026 10:00:00 +0900\r\n"
            f"From: {encoded(name)} <user{i}@example.jp>\r\n"
            f"To: taro@example.jp\r\n"
            f"Subject: {encoded(subject)}\r\n"
            f"MIME-Version: 1.0\r\n"
            f"Content-Type: text/plain; charset=ISO-2022-JP\r\n\r\n").encode("ascii")
    return head + body


def write_settings(cfg, port, user, extra="", host="127.0.0.1"):
    os.makedirs(os.path.join(cfg, "lumwatch"), exist_ok=True)
    with open(os.path.join(cfg, "lumwatch", "lumwatch.ini"), "w") as f:
        f.write(f"[setting]\naccountno=1\nAname1=bench\nHname1={host}\n"
                f"Portno1={port}\nUname1={user}\nPassw1=\"112 97 115 115 \"\nCheck1=1\n{extra}")
    os.chmod(os.path.join(cfg, "lumwatch", "lumwatch.ini"), 0o600)


def decode(value):
    return str(email.header.make_header(email.header.decode_header(value)))


def header(lines, name):
    prefix = name.lower() + ":"
    for line in lines:
        text = line.decode("ascii", "replace")
        if text.lower().startswith(prefix):
            return text[len(prefix):].strip()
    return ""


def poplib_check(port, user, context=None, host="127.0.0.1", limit=None):
    """USER/PASS/STAT, TOP n 5 for every message with From and Subject decoded, QUIT.
    Returns (seconds, rows, count); with limit (seconds) it stops after the TOP that passes
    it, without QUIT, and rows is shorter than count."""
    t = time.perf_counter()
    p = poplib.POP3_SSL("localhost", port, context=context) if context else poplib.POP3(host, port)
    p.user(user)
    p.pass_("pass")
    count, _ = p.stat()
    rows = []
    for n in range(1, count + 1):
        _, lines, _ = p.top(n, 5)
        rows.append((decode(header(lines, "From")), decode(header(lines, "Subject"))))
        if limit is not None and time.perf_counter() - t > limit:
            p.close()
            return time.perf_counter() - t, rows, count
    p.quit()
    return time.perf_counter() - t, rows, count
