#!/usr/bin/env python3
"""Benchmark (not a test): checks against a distant server.

A proxy in this script stands between the clients and a private Dovecot and delays every
chunk each way by half the round trip (RTT 20 ms, or --rtt MS), with no bandwidth limit and
many chunks in flight; opening a connection through it costs one round trip, as a TCP
handshake does. Mailboxes of 2,000 and of 20,000 Japanese messages (ISO-2022-JP From and
Subject).

1. A first (cold) check of each mailbox, with a settings store and an XDG_CACHE_HOME of its
   own: lumcheck against
   - a pipelined client, the limit: USER/PASS/STAT in one write, then TOP n 5 for every
     message and QUIT in one more, written while the replies are read and counted (not
     decoded). Target ratio: <= 1.5.
   - poplib doing USER/PASS/STAT and TOP n 5 for each message in lockstep (From and Subject
     decoded), for comparison.
2. The check after one new message arrives: a check, one message delivered, then the next
   check with the same store and XDG_CACHE_HOME, counted in round trips (time / RTT), beside
   the same dialogue from a raw client that knows the server (the floor the server sets), and
   in turns on the wire as the proxy sees them (the connection's handshake, then each time
   the client speaks after the server did). Time / RTT also holds the server's own work for
   the session, which for Dovecot grows with the mailbox (its STAT of 20,000 messages takes
   about half a second on this machine); turns are what the client's dialogue costs.
   Target: <= 10 for both mailboxes.
3. The same two over IMAP (an account with "Protocol" 1, the mailbox of 2,000 messages, all
   unseen): the cold check against a pipelined client that sends what lumcheck sends: LOGIN,
   after its OK EXAMINE and UID SEARCH UNSEEN UNDELETED in one write, after the search one UID
   FETCH of every UID with LOGOUT in one more, the answers counted (not decoded). Target ratio:
   <= 1.5. The check after one new message, beside a raw client that sends LOGIN, EXAMINE and
   the search in one write, then the FETCH of the new UID. Target: <= 6.
4. Push, on loopback (no proxy): lumwatchd (offscreen, one IMAP account checked every 60
   minutes, desktop notifications on) idling on a mailbox of its own, with dunst as the
   notification server on a private session bus (on Xvfb). 10 rounds of: wait until the
   checker's IDLE connection and a raw client's are the user's only ones in Dovecot, both in
   IDLE; deliver one message (written to tmp/ and renamed into new/: the moment of the
   rename); wait for the Notify call as dbus-monitor sees it (its time stamp). The raw
   client's EXISTS gives the server's share: Dovecot tells an idling client half a second
   after a change (it waits for more). lumwatchd's share holds its own half-second wait for
   more news, the check, the second its cycle pauses before it ends (as between accounts),
   and GetCapabilities and Notify. Target: median <= 1 s.

Times are medians of a few rounds (fewer for 20,000). A lockstep check of 20,000 messages
takes 20,000 round trips (400 s at 20 ms), so no client runs longer than --limit S (60 s):
such a run is stopped, not repeated, and its time is a lower bound (">").
lumcheck's times include starting the program.

Run as root from the repository after a build:
  python3 scripts/bench-distant.py [build] [--rtt MS] [--limit S] [--only pop3|imap|push]
"""
import argparse
import asyncio
import collections
import glob
import multiprocessing
import os
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
from dovecot import MAIL_GID, MAIL_UID, Dovecot, free_port  # noqa: E402
from bench_mail import BODY, message, poplib_check, write_settings  # noqa: E402
from dunst import Dunst  # noqa: E402
from lumstore import account, write_store  # noqa: E402
from xsession import Failure, XSession, until  # noqa: E402

SIZES = {2000: 3, 20000: 3}  # messages: rounds, over POP3
TARGET_LIMIT_RATIO = 1.5
TARGET_NEW_MAIL_TRIPS = 10
IMAP_SIZES = {2000: 3}  # the same mailboxes over IMAP
TARGET_IMAP_NEW_MAIL_TRIPS = 6
PUSH_ROUNDS = 10
TARGET_PUSH_SECONDS = 1


# The proxy ------------------------------------------------------------------------------

async def pipe(reader, writer, delay, seen):
    """Copies reader to writer, each chunk written delay seconds after it was read; a reader
    task and a writer task, so that chunks in flight don't wait for each other. seen() is
    told of every chunk read."""
    loop = asyncio.get_running_loop()
    queue = collections.deque()
    ready = asyncio.Event()

    async def read():
        while True:
            try:
                data = await reader.read(1 << 16)
            except OSError:
                data = b""
            queue.append((loop.time() + delay, data))
            if data:
                seen()
            ready.set()
            if not data:
                return

    async def write():
        while True:
            await ready.wait()
            ready.clear()
            while queue:
                due, data = queue[0]
                if due > loop.time():
                    await asyncio.sleep(due - loop.time())
                queue.popleft()
                if not data or writer.is_closing():
                    writer.close()
                    return
                writer.write(data)

    await asyncio.gather(read(), write())


async def serve(upstream_port, rtt, conn):
    async def client(reader, writer):
        await asyncio.sleep(rtt)  # the handshake's round trip
        try:
            up_reader, up_writer = await asyncio.open_connection("127.0.0.1", upstream_port)
        except OSError:
            writer.close()
            return
        # Turns: the handshake, then each time the client speaks after the server did. A
        # client that waits for every reply takes one per command; the server's own work
        # between them is no turn.
        turn = {"count": 1, "client": False}

        def client_spoke():
            if not turn["client"]:
                turn["count"] += 1
            turn["client"] = True

        def server_spoke():
            turn["client"] = False
        await asyncio.gather(pipe(reader, up_writer, rtt / 2, client_spoke),
                             pipe(up_reader, writer, rtt / 2, server_spoke), return_exceptions=True)
        conn.send(turn["count"])

    port = free_port()
    server = await asyncio.start_server(client, "127.0.0.1", port)
    conn.send(port)
    async with server:
        await server.serve_forever()


def run_proxy(upstream_port, rtt, conn):
    os.nice(-10)  # the network's delays stay what they are on a busy machine
    asyncio.run(serve(upstream_port, rtt, conn))


def start_proxy(upstream_port, rtt):
    """A process of its own, so that the clients measured here don't hold it up; returns
    (process, port, connection that tells the turns of each connection through it as it ends)."""
    parent, child = multiprocessing.Pipe()
    proc = multiprocessing.Process(target=run_proxy, args=(upstream_port, rtt, child), daemon=True)
    proc.start()
    return proc, parent.recv(), parent


def last_turns(turns):
    """The turns of the connection that ended last, waiting a little for it."""
    count = None
    while turns.poll(count is None and 5 or 0):
        count = turns.recv()
    return count


# The mailboxes -------------------------------------------------------------------------

def store(server, user, base, data):
    """One message written straight into the maildir under base, its sizes in the name as
    Dovecot's own delivery writes them (S= on disk, W= with CR LF line ends): without them
    Dovecot reads every file again to answer STAT after a change, which no real mailbox
    makes it do. Written in tmp/ and renamed into new/, as a delivery does, so that a server
    watching the folder never reads half a message. Returns the file name."""
    name = "%s,S=%d,W=%d" % (base, len(data), len(data) + data.count(b"\n") - data.count(b"\r\n"))
    home = os.path.join(server.dir, "mail", user)
    with open(os.path.join(home, "tmp", name), "wb") as f:
        f.write(data)
    os.chown(os.path.join(home, "tmp", name), MAIL_UID, MAIL_GID)
    os.rename(os.path.join(home, "tmp", name), os.path.join(home, "new", name))
    return name


def fill(server, user, count):
    """count messages written straight into the maildir, as Dovecot.deliver does."""
    server.add_user(user, "pass")
    for i in range(1, count + 1):
        store(server, user, "%d.M%dP1.lumbench" % (1700000000 + i, i), message(i, BODY * 3))


def deliver_one(server, user, n):
    """One more message; returns a function that takes it away again."""
    name = store(server, user, "%d.M%dP1.lumnew" % (1800000000 + n, n), message(100000 + n, BODY * 3))

    def remove():
        for p in glob.glob(os.path.join(server.dir, "mail", user, "*", name + "*")):
            os.unlink(p)
    return remove


# The clients ---------------------------------------------------------------------------

def run_lumcheck(lumcheck, cfg, cache, limit, args=()):
    """Returns (seconds, lines listed or None when it was stopped at the limit)."""
    env = dict(os.environ, XDG_CONFIG_HOME=cfg, XDG_CACHE_HOME=cache)
    t = time.perf_counter()
    try:
        r = subprocess.run([lumcheck, *args], env=env, capture_output=True, timeout=limit)
    except subprocess.TimeoutExpired:
        return time.perf_counter() - t, None
    elapsed = time.perf_counter() - t
    if r.returncode != 0 or r.stderr:
        sys.exit(f"lumcheck failed: {r.stderr.decode(errors='replace')}")
    return elapsed, r.stdout.count(b"\n")


def pipelined_check(port, user):
    """The limit: every command goes out at once, from a thread of its own so that the
    replies are read while it writes, and the replies are only counted (the end of each TOP
    reply, in bulk). Returns (seconds, count)."""
    t = time.perf_counter()
    with socket.create_connection(("127.0.0.1", port)) as s:
        s.sendall(f"USER {user}\r\nPASS pass\r\nSTAT\r\n".encode())
        data = b""
        while data.count(b"\r\n") < 4:  # greeting, USER, PASS, STAT
            data += s.recv(1 << 16)
        lines = data.split(b"\r\n")
        if not all(line.startswith(b"+OK") for line in lines[:4]):
            raise RuntimeError(f"pipelined client: {data[:200]!r}")
        count = int(lines[3].split()[1])
        tail = b"\r\n".join(lines[4:])
        commands = b"".join(b"TOP %d 5\r\n" % n for n in range(1, count + 1)) + b"QUIT\r\n"
        writer = threading.Thread(target=s.sendall, args=(commands,))
        writer.start()
        ends, seen = 0, b"\r\n" + tail
        while True:
            ends += seen.count(b"\r\n.\r\n")
            if ends >= count:
                break
            chunk = s.recv(1 << 20)
            if not chunk:
                raise RuntimeError(f"pipelined client: closed after {ends} of {count} replies")
            seen = seen[-4:] + chunk
        writer.join()
    return time.perf_counter() - t, count


def read_until(s, data, done):
    """data and what s reads after it, until done(all of it)."""
    while not done(data):
        chunk = s.recv(1 << 20)
        if not chunk:
            raise RuntimeError(f"raw client: closed after {data[-200:]!r}")
        data += chunk
    return data


def raw_new_mail_check(port, user):
    """The floor of a check after new mail: a client that knows the server already (no CAPA,
    no program to start, nothing decoded) sends USER/PASS/STAT/UIDL in one write, then TOP
    of the last message and QUIT in one more. Returns seconds."""
    t = time.perf_counter()
    with socket.create_connection(("127.0.0.1", port)) as s:
        s.sendall(f"USER {user}\r\nPASS pass\r\nSTAT\r\nUIDL\r\n".encode())
        data = read_until(s, b"", lambda d: d.count(b"\r\n") >= 5 and d.endswith(b"\r\n.\r\n"))
        count = int(data.split(b"\r\n")[3].split()[1])
        s.sendall(b"TOP %d 5\r\nQUIT\r\n" % count)
        read_until(s, b"", lambda d: b"\r\n.\r\n+OK" in d and d.endswith(b"\r\n"))
    return time.perf_counter() - t


def uid_set(uids):
    """UIDs as an IMAP set, runs as ranges: 1:2000,2002."""
    runs = []
    for uid in sorted(uids):
        if runs and uid == runs[-1][1] + 1:
            runs[-1][1] = uid
        else:
            runs.append([uid, uid])
    return b",".join(b"%d" % a if a == b else b"%d:%d" % (a, b) for a, b in runs)


def raw_imap_check(port, user, floor=False):
    """The IMAP limit: the dialogue of lumcheck's check without a program to start or anything
    decoded. LOGIN; after its OK, EXAMINE and UID SEARCH UNSEEN UNDELETED in one write; after the
    search, one UID FETCH of every UID found with LOGOUT in one more; the FETCH responses are
    only counted. floor: the check after new mail of a client that knows the server already:
    LOGIN, EXAMINE and the search in one write, then the FETCH of the highest UID only.
    Returns (seconds, messages fetched)."""
    def tagged(tag):
        return lambda d: b"\r\n" + tag + b" " in d and d.endswith(b"\r\n")
    t = time.perf_counter()
    with socket.create_connection(("127.0.0.1", port)) as s:
        login = f"a1 LOGIN {user} pass\r\n".encode()
        search = b'a2 EXAMINE "INBOX"\r\na3 UID SEARCH UNSEEN UNDELETED\r\n'
        s.sendall(login + search if floor else login)
        data = read_until(s, b"", tagged(b"a1"))
        if not floor:
            s.sendall(search)
        data = read_until(s, data, tagged(b"a3"))
        if any(b"\r\n%s OK" % tag not in data for tag in (b"a1", b"a2", b"a3")):
            raise RuntimeError(f"raw IMAP client: {data[-300:]!r}")
        found = [line for line in data.split(b"\r\n") if line.startswith(b"* SEARCH")]
        if len(found) != 1:
            raise RuntimeError(f"raw IMAP client: {len(found)} search results")
        uids = [int(uid) for uid in found[0].split()[2:]]
        uids = uids[-1:] if floor else uids
        s.sendall(b"a4 UID FETCH %s (UID RFC822.SIZE BODY.PEEK[HEADER])\r\na5 LOGOUT\r\n" % uid_set(uids))
        fetched, seen = 0, b""
        while b"\r\na5 OK" not in seen:
            chunk = s.recv(1 << 20)
            if not chunk:
                raise RuntimeError(f"raw IMAP client: closed after {fetched} of {len(uids)} messages")
            seen = seen[-7:] + chunk
            fetched += seen.count(b" FETCH (")
        if fetched != len(uids):
            raise RuntimeError(f"raw IMAP client: {fetched} of {len(uids)} messages")
    return time.perf_counter() - t, fetched


# Measuring -----------------------------------------------------------------------------

def rounds_of(run, rounds, limit):
    """run() -> (seconds, finished); returns (median, bound, rounds run), bound when a run
    reached the limit (then it is not repeated)."""
    samples = []
    for _ in range(rounds):
        seconds, finished = run()
        samples.append(seconds)
        if not finished:
            return statistics.median(samples), True, len(samples)
    return statistics.median(samples), False, len(samples)


def shown(value, bound, digits=2):
    """value with ">" before it when it is a lower bound."""
    return f"{'>' if bound else ''}{value:.{digits}f}"


def verdict(value, bound, target):
    if value > target:
        return "over"
    return "unknown" if bound else "ok"


def median_of(runs):
    """runs: (seconds, stopped at the limit); returns (median, whether it is a lower bound)."""
    return statistics.median(s for s, _ in runs), any(b for _, b in runs)


def lumcheck_rounds(lumcheck, server, port, turns, user, count, rounds, limit, work, floor_check, extra=""):
    """Per round: floor_check(port, user) -> seconds, with one new message in the mailbox; a cold
    lumcheck with a settings store (extra: its further keys) and an XDG_CACHE_HOME of its own;
    then one new message and lumcheck again with both. Returns (cold, fresh, turns of each fresh
    check, floor), the runs of lumcheck as (seconds, stopped at the limit)."""
    cold, fresh, fresh_turns, floor = [], [], [], []
    for r in range(rounds):
        remove = deliver_one(server, user, 1000 + r)
        floor.append(floor_check(port, user))
        remove()
        cfg, cache = tempfile.mkdtemp(dir=work), tempfile.mkdtemp(dir=work)
        write_settings(cfg, port, user, extra)
        seconds, lines = run_lumcheck(lumcheck, cfg, cache, limit)
        cold.append((seconds, lines is None))
        if lines is not None and lines != count:
            sys.exit(f"lumcheck listed {lines} of {count} messages")
        remove = deliver_one(server, user, r + 1)
        last_turns(turns)
        seconds, lines = run_lumcheck(lumcheck, cfg, cache, limit)
        fresh.append((seconds, lines is None))
        fresh_turns.append(last_turns(turns))
        remove()
        if lines is not None and lines != count + 1:
            sys.exit(f"lumcheck listed {lines} of {count + 1} messages")
        if cold[-1][1] or fresh[-1][1]:
            break
    return cold, fresh, fresh_turns, floor


def new_mail_lines(protocol, n, fresh, fresh_turns, floor, cold_bound, rtt, target):
    """Prints the check after one new message beside its floor; returns its targets."""
    new_s, new_bound = median_of(fresh)
    floor_s = statistics.median(floor)
    trips = new_s / rtt
    exchanged = max(fresh_turns)
    print(f"{protocol}check of {n} messages after one new message: lumcheck {shown(new_s, new_bound, 3)} s"
          f" = {shown(trips, new_bound, 1)} round trips (time / RTT, with the server's own work),"
          f" {exchanged} turns on the wire{' (the check before it was stopped)' if cold_bound else ''}")
    print(f"  the same by a raw client that knows the server (its floor): {floor_s:.3f} s"
          f" = {floor_s / rtt:.1f} round trips; lumcheck's own part: {(new_s - floor_s) / rtt:.1f}")
    return [(f"{protocol}check of {n} after one new message, round trips (time / RTT)", trips, new_bound, 1, target),
            (f"{protocol}check of {n} after one new message, turns on the wire", exchanged, new_bound, 0, target)]


def measure(lumcheck, server, port, turns, direct_port, user, count, rounds, rtt, limit, work):
    pipelined_check(direct_port, user)  # Dovecot indexes the new maildir once, untimed
    limit_s = statistics.median(pipelined_check(port, user)[0] for _ in range(rounds))

    def poplib_run():
        seconds, rows, total = poplib_check(port, user, limit=limit)
        return seconds, len(rows) == total
    pop_s, pop_bound, pop_rounds = rounds_of(poplib_run, rounds, limit)

    cold, fresh, fresh_turns, floor = lumcheck_rounds(lumcheck, server, port, turns, user, count, rounds, limit,
                                                      work, raw_new_mail_check)
    lum_s, lum_bound = median_of(cold)

    n = f"{count:,}"
    print(f"cold check of {n} messages: lumcheck {shown(lum_s, lum_bound, 3)} s, "
          f"pipelined limit {shown(limit_s, False, 3)} s, poplib {shown(pop_s, pop_bound, 3)} s"
          f" (rounds: {len(cold)}, {rounds}, {pop_rounds})")
    to_limit = lum_s / limit_s
    print(f"  lumcheck / pipelined limit: {shown(to_limit, lum_bound)}")
    if lum_bound and pop_bound:
        print("  lumcheck / poplib: unknown (both stopped at the limit)")
    else:
        print(f"  lumcheck / poplib: {'>' if lum_bound else '<' if pop_bound else ''}{lum_s / pop_s:.2f}")
    return ([(f"cold check of {n}, lumcheck / pipelined limit", to_limit, lum_bound, 2, TARGET_LIMIT_RATIO)]
            + new_mail_lines("", n, fresh, fresh_turns, floor, lum_bound, rtt, TARGET_NEW_MAIL_TRIPS))


def measure_imap(lumcheck, server, port, turns, user, count, rounds, rtt, limit, work):
    raw_imap_check(server.imap_port, user)  # Dovecot indexes the maildir once, untimed
    limit_s = statistics.median(raw_imap_check(port, user)[0] for _ in range(rounds))
    cold, fresh, fresh_turns, floor = lumcheck_rounds(lumcheck, server, port, turns, user, count, rounds, limit,
                                                      work, lambda *a: raw_imap_check(*a, floor=True)[0],
                                                      "Protocol1=1\n")
    lum_s, lum_bound = median_of(cold)
    n = f"{count:,}"
    print(f"IMAP cold check of {n} unseen messages: lumcheck {shown(lum_s, lum_bound, 3)} s, "
          f"pipelined limit {limit_s:.3f} s (rounds: {len(cold)}, {rounds})")
    to_limit = lum_s / limit_s
    print(f"  lumcheck / pipelined limit: {shown(to_limit, lum_bound)}")
    return ([(f"IMAP cold check of {n}, lumcheck / pipelined limit", to_limit, lum_bound, 2, TARGET_LIMIT_RATIO)]
            + new_mail_lines("IMAP ", n, fresh, fresh_turns, floor, lum_bound, rtt, TARGET_IMAP_NEW_MAIL_TRIPS))


# Push ----------------------------------------------------------------------------------

def all_idling(user, count):
    """Dovecot's process titles show the user's connections: count are open, all in IDLE."""
    titles = subprocess.run(["ps", "-eo", "args"], capture_output=True, text=True).stdout.splitlines()
    mine = [t for t in titles if t.startswith("dovecot/imap ") and f"[{user} " in t]
    return len(mine) == count and all("IDLE" in t for t in mine)


def notify_times(dunst):
    """The wall-clock times of the Notify calls so far, as dbus-monitor stamped them."""
    return [float(m.split("time=", 1)[1].split()[0]) for m in dunst.notifies()]


def idle_client(port, user):
    """A raw client idling on the mailbox beside lumwatchd: when its EXISTS comes is the
    server's own share of the latency."""
    s = socket.create_connection(("127.0.0.1", port))
    s.sendall(f"a1 LOGIN {user} pass\r\na2 EXAMINE INBOX\r\na3 IDLE\r\n".encode())
    read_until(s, b"", lambda d: b"\r\n+ " in d)
    return s


def measure_push(bindir, server, work):
    """Returns (latency, the server's share) of each of PUSH_ROUNDS deliveries, in seconds."""
    user = "push"
    server.add_user(user, "pass")
    x = XSession()
    dunst = checker = watcher = None
    try:
        dunst = Dunst(x, os.path.join(work, "dunst"))
        dunst.start()
        config = os.path.join(work, "push-config")
        write_store(config, ["accountno=1", "Checktimerval=60", "Option5value=0", "Option7value=1",
                             "Option14value=1", "Protocol1=1"]
                    + account(1, "push", server.imap_port, user, "pass", (0, 0xFFFFFF)))
        env = dict(os.environ, LANG="C.UTF-8", QT_QPA_PLATFORM="offscreen", XDG_CONFIG_HOME=config,
                   XDG_RUNTIME_DIR=work, XDG_CACHE_HOME=os.path.join(work, "push-cache"),
                   DBUS_SESSION_BUS_ADDRESS=dunst.address)
        env.pop("DISPLAY", None)
        checker = subprocess.Popen([os.path.join(bindir, "lumwatchd")], env=env, stderr=subprocess.DEVNULL)
        watcher = idle_client(server.imap_port, user)
        rounds = []
        for r in range(PUSH_ROUNDS):
            until(lambda: all_idling(user, 2), f"lumwatchd does not idle (round {r + 1})")
            before = len(notify_times(dunst))
            deliver_one(server, user, 2000 + r)
            delivered = time.time()
            read_until(watcher, b"", lambda d: b" EXISTS\r\n" in d)
            told = time.time()
            times = until(lambda: notify_times(dunst)[before:],
                          f"no desktop notification of the message delivered in round {r + 1}")
            rounds.append((times[0] - delivered, told - delivered))
        return rounds
    except Failure as e:
        sys.exit(f"push: {e}")
    finally:
        if watcher:
            watcher.close()
        if checker:
            checker.kill()
            checker.wait()
        if dunst:
            dunst.close()
        x.close()


def push_lines(rounds):
    """Prints the push latencies and the server's share of them; returns their target."""
    latencies = [latency for latency, _ in rounds]
    median = statistics.median(latencies)
    server = statistics.median(share for _, share in rounds)
    print(f"push: delivery to the desktop notification (lumwatchd in IMAP IDLE, loopback): median {median:.3f} s,"
          f" min {min(latencies):.3f} s, max {max(latencies):.3f} s over {len(rounds)} rounds")
    print(f"  of which Dovecot telling an idling client of the delivery: {server:.3f} s;"
          f" lumwatchd from the news to the Notify call: {median - server:.3f} s")
    print("  rounds: " + " ".join(f"{latency:.3f}" for latency in latencies))
    return [(f"push latency, delivery to the desktop notification, median of {len(rounds)}", median, False, 3,
             TARGET_PUSH_SECONDS, " s")]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("build", nargs="?", default=os.path.join(ROOT, "build"))
    parser.add_argument("--rtt", type=float, default=20, metavar="MS")
    parser.add_argument("--limit", type=float, default=60, metavar="S")
    parser.add_argument("--only", choices=("pop3", "imap", "push"), help="measure one part only")
    args = parser.parse_args()
    lumcheck = os.path.join(args.build, "bin", "lumcheck")
    if not os.path.exists(lumcheck):
        sys.exit(f"{lumcheck} is missing: build first (bash scripts/build.sh build)")
    rtt = args.rtt / 1000
    pop3 = SIZES if args.only in (None, "pop3") else {}
    imap = IMAP_SIZES if args.only in (None, "imap") else {}
    push = args.only in (None, "push")

    work = tempfile.mkdtemp(prefix="lumbench-distant-")
    server = Dovecot()
    t = time.perf_counter()
    sizes = sorted(set(pop3) | set(imap))
    for count in sizes:
        fill(server, f"m{count}", count)
    if sizes:
        print(f"{sum(sizes):,} messages written in {time.perf_counter() - t:.1f} s; RTT {args.rtt:g} ms, "
              f"limit {args.limit:g} s per client run")
    server.start()
    # One proxy per protocol: each forwards to one port of the server.
    proxies = [start_proxy(server.port, rtt), start_proxy(server.imap_port, rtt)]
    try:
        if sizes:
            start = statistics.median(run_lumcheck(lumcheck, work, work, None, ["--version"])[0] for _ in range(3))
            print(f"start of lumcheck (--version), included in its times: {start:.3f} s"
                  f" = {start / rtt:.1f} round trips")
        targets = []
        _, port, turns = proxies[0]
        for count, rounds in pop3.items():
            targets += measure(lumcheck, server, port, turns, server.port, f"m{count}", count, rounds, rtt,
                               args.limit, work)
        _, port, turns = proxies[1]
        for count, rounds in imap.items():
            targets += measure_imap(lumcheck, server, port, turns, f"m{count}", count, rounds, rtt, args.limit, work)
        if push:
            targets += push_lines(measure_push(os.path.join(args.build, "bin"), server, work))
        for name, value, bound, digits, target, *unit in targets:
            unit = unit[0] if unit else ""
            print(f"target: {name}: {shown(value, bound, digits)}{unit} (target <= {target:g})"
                  f" {verdict(value, bound, target)}")
    finally:
        for proxy, _, _ in proxies:
            proxy.terminate()
            proxy.join()
        server.stop()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
