#!/usr/bin/env python3
"""Header values encoded the way mailers encode them, decoded by Lumora's reader for today's
mail and by Python's standard email package; both must give the same text.

Python's side: RFC 5322 unfolding, then email.header.decode_header and make_header.
Generated values use UTF-8, ISO-2022-JP, Shift_JIS, EUC-JP and ISO-8859-1 words, B and Q,
folded at several widths, some after plain text.

usage: header_differential.py path/to/header_tool
"""
import random
import re
import subprocess
import sys
from email.charset import BASE64, QP, Charset
from email.header import Header, decode_header, make_header

SAMPLES = ["会議の資料について", "Re: 来週の予定", "お疲れさまです！", "café au lait", "Grüße aus Köln",
           "請求書（12月分）", "①②③ ﾊﾝｶｸ", "絵文字 \U0001F600 です", "naïve résumé", "進捗 50% 達成",
           "Fwd: [重要] サーバ停止のお知らせ", "a" * 90, "長い件名" * 12]
CHARSETS = ["utf-8", "iso-2022-jp", "shift_jis", "euc-jp", "iso-8859-1"]


def encodable(text, charset):
    try:
        text.encode(charset)
        return True
    except UnicodeEncodeError:
        return False


def cases(rng, count):
    out = []
    while len(out) < count:
        text = " ".join(rng.sample(SAMPLES, rng.randint(1, 3)))
        charset = rng.choice(CHARSETS)
        cs = Charset(charset)
        # Python would send Shift_JIS and EUC-JP as ISO-2022-JP; some mailers don't.
        cs.output_charset, cs.output_codec = cs.input_charset, cs.input_codec
        if not encodable(text, cs.output_charset or charset):
            continue
        cs.header_encoding = rng.choice([BASE64, QP])
        h = Header(text, cs, maxlinelen=rng.choice([40, 76, 998]))
        raw = h.encode(linesep="\r\n")
        if rng.random() < 0.3:
            raw = "Re: " + raw  # plain text in front of the words
        out.append(raw)
    return out


def python_text(raw):
    unfolded = re.sub(r"\r\n([ \t])", r"\1", raw)
    # Chunks in charsets Python would re-encode differently go through UTF-8 unchanged.
    chunks = [(b.decode(cs).encode("utf-8"), "utf-8") if cs else (b, cs)
              for b, cs in decode_header(unfolded)]
    return str(make_header(chunks))


def main():
    tool = sys.argv[1]
    rng = random.Random(2026)
    raws = cases(rng, 300)
    stdin = "".join(r.encode("ascii").hex() + "\n" for r in raws)
    result = subprocess.run([tool], input=stdin, capture_output=True, text=True, check=True)
    ours = [bytes.fromhex(line).decode("utf-8") for line in result.stdout.splitlines()]
    failures = 0
    for raw, got in zip(raws, ours):
        want = python_text(raw)
        if got != want:
            failures += 1
            if failures <= 5:
                print("differs:\n  raw    %r\n  python %r\n  lumora %r" % (raw, want, got))
    print("header_differential: %d of %d agree" % (len(raws) - failures, len(raws)))
    sys.exit(1 if failures or len(ours) != len(raws) else 0)


if __name__ == "__main__":
    main()
