#!/usr/bin/env python3
"""A browser for tests, named by $BROWSER (xdg-open runs it as `$BROWSER <url>`): it fetches
the URL and follows redirects, so a sign-in page's redirect reaches the program listening on
the loopback. It always exits 0, as a browser showing an error page would."""
import sys
import urllib.error
import urllib.request

try:
    with urllib.request.urlopen(sys.argv[1], timeout=30) as reply:
        reply.read()
except (urllib.error.URLError, OSError) as e:
    print("fake_browser:", e, file=sys.stderr)
sys.exit(0)
