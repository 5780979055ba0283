"""The settings store as the programs keep it: $XDG_CONFIG_HOME/lumwatch/lumwatch.ini, group
[setting], written by hand for tests and the demo and read back after the programs ran."""
import os

from dovecot import scramble


def store_path(config):
    return os.path.join(config, "lumwatch", "lumwatch.ini")


def write_store(config, lines):
    """lines: "key=value" texts. Returns the file's path. Kept from other users as the
    programs keep it: a new folder is made with mode 700, the file with mode 600."""
    path = store_path(config)
    os.makedirs(os.path.dirname(path), mode=0o700, exist_ok=True)
    fd = os.open(path, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600)
    os.fchmod(fd, 0o600)
    with open(fd, "w", encoding="utf-8") as f:
        f.write("[setting]\n" + "\n".join(lines) + "\n")
    return path


def account(n, name, port, user, password, colours, host="127.0.0.1"):
    """The ten keys of account n; colours: (text, background) as 0x00BBGGRR."""
    return ["Aname%d=%s" % (n, name), "Hname%d=%s" % (n, host), "Portno%d=%d" % (n, port),
            "Uname%d=%s" % (n, user), 'Passw%d="%s"' % (n, scramble(password)), "Check%d=1" % n,
            "Scolor1%d=%d" % (n, colours[0]), "Scolor2%d=%d" % (n, colours[1]),
            "Wavmode%d=2" % n]


def read_store(path):
    """The [setting] group as QSettings writes it: key=value, quoted when blanks matter."""
    values = {}
    group = None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if line.startswith("["):
                group = line
                continue
            if group != "[setting]" or "=" not in line:
                continue
            key, value = line.split("=", 1)
            if len(value) >= 2 and value[0] == '"' and value[-1] == '"':
                value = value[1:-1]
            values[key] = value
    return values
