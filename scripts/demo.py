#!/usr/bin/env python3
"""Starts lumwatchd; on a settings store without accounts, on a private demo instead.

The demo: a private Dovecot on 127.0.0.1 with Japanese mail in three mailboxes, two read
over POP3 and one over IMAP, a private settings store pointing at it (the user's own store
is never touched), and lumwatchd checking at once. With a display it is the real tray
program; without one it runs on Xvfb, prints what lumcheck sees and saves a picture of the
main window. About 15 s after lumwatchd starts, one more message reaches the IMAP mailbox:
the checker, idling there, lists it at once although it checks at the interval only every
60 minutes. Ctrl+C or the checker's exit command ends it; the server and its folder go
with it.

usage: demo.py BIN_DIR [--port N] [--headless] [--once] [--shots DIR]
                       [--dovecot PATH] [--xvfb PATH]
"""
import argparse
import fcntl
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "tests", "support"))
from dovecot import Dovecot, jis_word, message  # noqa: E402
from lumstore import account, read_store, store_path, write_store  # noqa: E402
from xsession import Failure, XSession  # noqa: E402

DEFAULT_PORT = 21110
FIRST_CHECK = 60  # seconds until the window with the mail must be up

# (mailbox, From name, address, Subject, body, attachment). A Subject given as a tuple is
# folded over two lines, one encoded word on each.
WORK = "yamada"
HOME = "hanako"
CLOUD = "taro"  # the mailbox read over IMAP
MAIL = [
    (WORK, "佐藤 部長", "sato@example.co.jp", "来週の定例会議の議題について",
     "山田さん\n\n来週火曜の定例会議の議題をまとめました。\n追加があれば金曜までに連絡ください。\n\n佐藤\n", None),
    (WORK, "経理部", "keiri@example.co.jp", "12月分の経費精算のお願い",
     "各位\n\n12月分の経費精算書を添付の様式で提出してください。\n締切は12月20日です。\n\n経理部\n",
     ("経費精算書.pdf", b"%PDF-1.4\n% demo form\n")),
    (WORK, "鈴木 一郎", "ichiro.suzuki@example.co.jp",
     ("【ご確認】年末年始の営業日と", "システム保守作業のお知らせ（12月28日から1月4日まで）"),
     "関係者各位\n\n年末年始はシステム保守のため、メールサーバーが一時停止します。\n\n情報システム部 鈴木\n", None),
    (WORK, "人事部", "jinji@example.co.jp", "年末調整の書類提出は12月15日までです",
     "年末調整の書類を人事部の受付箱へ提出してください。\n", None),
    (WORK, "田中 美咲", "misaki.tanaka@example.com", "お見積りの件、ありがとうございました",
     "山田様\n\n先日はお見積りをお送りいただき、ありがとうございました。\n社内で検討いたします。\n", None),
    (WORK, "総務部", "soumu@example.co.jp", "忘年会のご案内（12月18日）",
     "今年の忘年会は12月18日18時から、駅前の和食店で行います。\n出欠を今週中にお知らせください。\n", None),
    (WORK, "情報システム部", "helpdesk@example.co.jp", "パスワード変更のお願い",
     "社内システムのパスワードの有効期限が近づいています。\n", None),
    (WORK, "高橋 健", "ken.takahashi@example.co.jp", "大阪出張の報告書を送ります",
     "お疲れさまです。大阪出張の報告書です。ご確認ください。\n", None),
    (WORK, "サンプル商事 営業部", "sales@example.com", "新製品のご紹介",
     "平素より大変お世話になっております。新製品のご案内をお送りします。\n", None),
    (HOME, "母", "mama@example.ne.jp", "お正月は帰ってくるの？",
     "元気にしていますか。お正月はいつ帰ってくるのか教えてね。\n", None),
    (HOME, "市立図書館", "library@example.jp", "ご予約の本が届きました",
     "ご予約の本が届きました。12月22日までにカウンターでお受け取りください。\n", None),
    (HOME, "みどり書店", "shop@example.com", "ご注文の商品を発送しました",
     "ご注文ありがとうございます。本日、商品を発送いたしました。\n", None),
    (CLOUD, "山本 さくら", "sakura.yamamoto@example.ne.jp", "同窓会の写真を送ります",
     "太郎くん\n\n先週の同窓会の写真をまとめました。添付の一覧から選んでね。\n\nさくら\n",
     ("写真一覧.pdf", b"%PDF-1.4\n% demo album\n")),
    (CLOUD, "カード会社", "info@card.example.jp", "11月のご利用明細のお知らせ",
     "11月のご利用明細をWebでご確認いただけます。\n", None),
    (CLOUD, "旅の予約センター", "booking@example.com", "ご予約の確認：京都 1月10日から2泊",
     "ご予約ありがとうございます。京都のホテルを1月10日から2泊で承りました。\n", None),
    (CLOUD, "山田 花子", "hanako@example.jp", "週末の買い物リスト",
     "土曜日に買うもの: お米、しょうゆ、年賀状。\n", None),
]
# Delivered to the IMAP mailbox PUSH_AFTER seconds after lumwatchd starts, while it idles there.
PUSHED = (CLOUD, "鈴木 先生", "sensei@example.ac.jp", "新年会の日程が決まりました",
          "皆さん\n\n新年会は1月11日(土)18時から、いつもの店で行います。\n\n鈴木\n", None)
PUSH_AFTER = 15
CHECK_MINUTES = 60  # the interval check: long, so that what the demo shows is the push
# Subjects read already in another mail program (flag S): an IMAP account lists unseen mail only.
READ = {"11月のご利用明細のお知らせ"}
PASSWORDS = {WORK: "demo-work", HOME: "demo-home", CLOUD: "demo-cloud"}
POP3, IMAP = 0, 1
# The accounts in the list's order: (name, mailbox, "Protocol", (text, background) as 0x00BBGGRR).
ACCOUNTS = [
    ("仕事", WORK, POP3, (0, 0xFFFF80)),
    ("個人", HOME, POP3, (0x800000, 0xC0FFC0)),
    ("クラウド", CLOUD, IMAP, (0x004080, 0xC0E0FF)),
]


class Refused(Exception):
    """A reason not to run, told to the user as it is."""


def say(text):
    print("start: " + text, flush=True)


def demo_message(name, address, subject, body, attachment):
    if isinstance(subject, tuple):
        header = "\r\n ".join(jis_word(part) for part in subject)
    else:
        header = jis_word(subject)
    return message(jis_word(name) + " <" + address + ">", header, body, attachment)


def demo_messages():
    """(mailbox, message, maildir flags or None) in delivery order."""
    for user, *fields in MAIL:
        yield user, demo_message(*fields), ("S" if fields[2] in READ else None)


class Push:
    """Delivers PUSHED once, PUSH_AFTER seconds after start(), unless stopped before."""

    def __init__(self, server):
        self.server = server
        self.timer = threading.Timer(PUSH_AFTER, self.deliver)
        self.timer.daemon = True

    def start(self):
        self.timer.start()

    def deliver(self):
        user, *fields = PUSHED
        try:
            self.server.deliver(user, demo_message(*fields))
        except OSError as e:
            print("start: IMAP のメールボックスに新しいメールを届けられません: %s" % e,
                  file=sys.stderr, flush=True)
            return
        say("IMAP のメールボックス (%s の INBOX) に新しいメール「%s」を1通届けました。"
            % (user, fields[2]))
        say("lumwatchd はそのメールボックスで待ち受けている (IMAP IDLE) ので、%d 分ごとのチェックを"
            "待たずに、サーバーからの知らせ (プッシュ) ですぐ一覧に出ます。" % CHECK_MINUTES)

    def stop(self):
        """After this the server is left alone: a delivery under way is waited for."""
        self.timer.cancel()
        self.timer.join()


def user_store():
    config = os.environ.get("XDG_CONFIG_HOME") or os.path.join(os.path.expanduser("~"), ".config")
    return store_path(config)


def has_accounts(path):
    if not os.path.lexists(path):
        return False
    try:
        values = read_store(path)
    except (OSError, UnicodeDecodeError) as e:
        raise Refused("設定ファイルを読み込めません: %s (%s)" % (path, e.strerror or e))
    try:
        return int(values.get("accountno", "0")) > 0
    except ValueError:
        return False


def take_lock():
    """One demo at a time per user: an exclusive lock held while this process lives."""
    folder = os.environ.get("XDG_RUNTIME_DIR") or tempfile.gettempdir()
    path = os.path.join(folder, "lumora-demo-%d.lock" % os.getuid())
    try:
        lock = open(path, "a+")
    except OSError as e:
        raise Refused("デモのロックファイルを作れません (%s): %s" % (path, e.strerror or e))
    try:
        fcntl.flock(lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
    except OSError:
        lock.seek(0)
        raise Refused("デモは既に動いています (PID %s)。先に起動したほうを終了してください。"
                      % (lock.read().strip() or "?"))
    lock.truncate(0)
    lock.write(str(os.getpid()))
    lock.flush()
    return lock


def check_port(port):
    with socket.socket() as s:
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)  # as the server will
        try:
            s.bind(("127.0.0.1", port))
        except OSError:
            raise Refused("ポート %d は既に使われています。--port で別の番号 (1024から32767) "
                          "を指定してください。" % port)


def demo_store(config, server):
    lines = ["accountno=%d" % len(ACCOUNTS), "Option1value=1", "Option3value=0", "Option5value=1",
             "Option8value=1", "Checktimerval=%d" % CHECK_MINUTES, "Closetimerval=0",
             "frmWidth=11400", "frmHeight=5700"]
    for n, (name, user, protocol, colours) in enumerate(ACCOUNTS, 1):
        port = server.imap_port if protocol == IMAP else server.port
        lines += account(n, name, port, user, PASSWORDS[user], colours)
        lines += ["Protocol%d=%d" % (n, protocol)]
    return write_store(config, lines)


def describe_accounts(server):
    """One line per account for the terminal: what it reads, and over what."""
    for n, (name, user, protocol, _) in enumerate(ACCOUNTS, 1):
        unread = sum(1 for m in MAIL if m[0] == user and m[3] not in READ)
        read = sum(1 for m in MAIL if m[0] == user) - unread
        if protocol == IMAP:
            say("  %d %s: IMAP 127.0.0.1:%d (%s の INBOX) 未読 %d通、既読 %d通 (既読は一覧に出ません)"
                % (n, name, server.imap_port, user, unread, read))
        else:
            say("  %d %s: POP3 127.0.0.1:%d (%s) %d通" % (n, name, server.port, user, unread))


def stop(proc, seconds=10):
    """SIGTERM (the checker exits in order), then the whole process group."""
    if proc is None:
        return
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(seconds)
        except subprocess.TimeoutExpired:
            pass
    try:
        os.killpg(proc.pid, signal.SIGKILL)  # a lumsetup it started, if any
    except OSError:
        pass
    proc.wait()


def run_demo(args):
    lock = take_lock()  # noqa: F841 (held until exit)
    if os.geteuid() != 0:
        raise Refused("デモのメールサーバー (Dovecot) は root で動かします。root で実行してください。")
    if not os.access(args.dovecot, os.X_OK):
        raise Refused("Dovecot がありません (%s)。bash scripts/setup.sh で dovecot-pop3d と "
                      "dovecot-imapd を入れてください。" % args.dovecot)
    headless = args.headless or not os.environ.get("DISPLAY")
    if headless and not shutil.which(args.xvfb):
        raise Refused("画面 (DISPLAY) がなく、Xvfb もありません。apt-get install xvfb で入れてください。")
    check_port(args.port)
    try:
        folder = tempfile.mkdtemp(prefix="lumora-demo-")
    except OSError as e:
        raise Refused("一時フォルダを作れません (%s): %s" % (tempfile.gettempdir(), e.strerror))

    server = x = checker = push = None
    try:
        os.chmod(folder, 0o755)  # the mail processes run as nobody
        server = Dovecot(parent=folder, binary=args.dovecot)
        for user, password in PASSWORDS.items():
            server.add_user(user, password)
        for user, data, flags in demo_messages():
            server.deliver(user, data, flags)
        try:
            server.start(port=args.port)
        except RuntimeError as e:
            raise Refused("デモのメールサーバーが起動しません: %s" % e)
        config = os.path.join(folder, "config")
        try:
            demo_store(config, server)
        except OSError as e:
            raise Refused("デモの設定ファイルを書き込めません: %s" % e)
        say("デモのメールサーバー: 127.0.0.1、POP3 はポート %d、IMAP はポート %d (フォルダ %s)"
            % (server.port, server.imap_port, folder))
        say("デモのアカウント:")
        describe_accounts(server)
        say("デモの設定ファイル: %s (あなたの設定には触れません)" % store_path(config))

        if headless:
            runtime = os.path.join(folder, "run")
            os.mkdir(runtime, 0o700)
            try:
                x = XSession(xvfb=args.xvfb)
            except Failure:
                raise Refused("Xvfb が起動しません。")
            x.start_tray()
            env = x.env(XDG_CONFIG_HOME=config, XDG_RUNTIME_DIR=runtime)
            show_lumcheck(args.bindir, env)
        else:
            env = dict(os.environ, XDG_CONFIG_HOME=config)

        checker = subprocess.Popen([os.path.join(args.bindir, "lumwatchd")], env=env,
                                   start_new_session=True)
        if not args.once:
            push = Push(server)
            push.start()
        if headless:
            shot = os.path.join(args.shots, "lumwatchd-demo.png")
            window = wait_for_mail_window(x, checker)
            x.screenshot(shot, window)
            say("画面がないので Xvfb (%s) の上で動かしています。メインウィンドウの画面: %s"
                % (x.display, shot))
        else:
            say("lumwatchd を起動しました。通知領域のアイコンとメールの一覧を見てください。")
        if args.once:
            return 0
        say("lumwatchd の起動から約 %d 秒後に、IMAP のメールボックスへもう1通届けます。" % PUSH_AFTER)
        say("Ctrl+C か、メニューの「終了」で終わります。")
        code = checker.wait()
        return 0 if code == 0 else code
    except KeyboardInterrupt:
        return 0
    finally:
        if push:
            push.stop()
        stop(checker)
        if x:
            x.close()
        if server:
            server.stop()
        shutil.rmtree(folder, ignore_errors=True)
        say("デモを終了しました。サーバーを止め、%s を削除しました。" % folder)


def show_lumcheck(bindir, env):
    try:
        result = subprocess.run([os.path.join(bindir, "lumcheck")], env=env,
                                capture_output=True, text=True, timeout=FIRST_CHECK)
    except subprocess.TimeoutExpired:
        raise Refused("lumcheck が %d 秒たっても終わりません。" % FIRST_CHECK)
    say("lumcheck がデモのメールボックスに見たもの (ｱｶｳﾝﾄ, 番号, 添付, From, Subject):")
    sys.stdout.write(result.stdout)
    sys.stderr.write(result.stderr)
    sys.stdout.flush()


def wait_for_mail_window(x, checker):
    end = time.monotonic() + FIRST_CHECK
    while time.monotonic() < end:
        if checker.poll() is not None:
            raise Refused("lumwatchd が終了しました (終了コード %d)。" % checker.returncode)
        for window in x.windows(".*通のメールが届いています!", exact=False):
            return window
        time.sleep(0.2)
    raise Refused("%d 秒たってもメールの一覧が出ません。" % FIRST_CHECK)


def main():
    parser = argparse.ArgumentParser(description="Lumora を起動します (アカウントが無ければデモ)。")
    parser.add_argument("bindir")
    parser.add_argument("--port", type=int, default=DEFAULT_PORT)
    parser.add_argument("--headless", action="store_true", help="画面があっても Xvfb で動かす")
    parser.add_argument("--once", action="store_true", help="一覧を出したら終わる")
    parser.add_argument("--shots", default=os.path.join(HERE, "..", "build", "demo"))
    parser.add_argument("--dovecot", default="/usr/sbin/dovecot")
    parser.add_argument("--xvfb", default="Xvfb")
    args = parser.parse_args()
    args.bindir = os.path.abspath(args.bindir)
    args.shots = os.path.abspath(args.shots)

    def interrupted(signum, frame):
        raise KeyboardInterrupt
    signal.signal(signal.SIGTERM, interrupted)
    signal.signal(signal.SIGHUP, interrupted)
    try:
        store = user_store()
        if has_accounts(store):
            say("アカウントの設定があるので lumwatchd をそのまま起動します (%s)。" % store)
            os.execv(os.path.join(args.bindir, "lumwatchd"), ["lumwatchd"])
        say("アカウントがまだ無いので、デモを起動します。")
        return run_demo(args)
    except Refused as e:
        print("start: " + str(e), file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        return 0


if __name__ == "__main__":
    sys.exit(main())
