#include "decode/text_search.h"

#include <algorithm>
#include <cstring>

namespace lum {
namespace {

char fold(char c, bool caseInsensitive)
{
    return caseInsensitive && c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Knuth-Morris-Pratt over haystack[from..], calling onMatch(start) for every occurrence
// until it returns false. Between matches memmem or memchr skips to the next possible
// start: the texts are megabytes, and most places in them can't start a match.
template <class OnMatch>
void scan(QByteArrayView hay, QByteArrayView needle, qsizetype from, bool ci, OnMatch onMatch)
{
    const qsizetype m = needle.size();
    const qsizetype n = hay.size();
    if (m == 0 || from < 0 || from >= n)
        return;
    // Header names and escapes are short: no allocation for them on every search.
    constexpr qsizetype kInline = 64;
    char patInline[kInline] = {};
    qsizetype borderInline[kInline];
    std::vector<char> patHeap;
    std::vector<qsizetype> borderHeap;
    char *pat = patInline;
    qsizetype *border = borderInline;
    if (m > kInline) {
        patHeap.resize(size_t(m));
        borderHeap.resize(size_t(m));
        pat = patHeap.data();
        border = borderHeap.data();
    }
    for (qsizetype i = 0; i < m; ++i)
        pat[i] = fold(needle[i], ci);
    border[0] = 0;
    for (qsizetype i = 1, k = 0; i < m; ++i) {
        while (k > 0 && pat[i] != pat[k])
            k = border[k - 1];
        if (pat[i] == pat[k])
            ++k;
        border[i] = k;
    }
    const char *data = hay.data();
    const char first = pat[0];
    // A folded letter may stand for two bytes; any other byte is matched only by itself.
    const bool exactFirst = !(ci && first >= 'a' && first <= 'z');
    const char upper = char(first - 'a' + 'A');
    const auto find = [&](char c, qsizetype start) {
        const void *at = std::memchr(data + start, c, size_t(n - start));
        return at ? static_cast<const char *>(at) - data : n;
    };
    qsizetype nextLower = -1;
    qsizetype nextUpper = -1;
    // An anchor: a few bytes of the needle that match only themselves (the whole start of
    // it without caseInsensitive, else its longest run without a letter). Between matches
    // memmem skips to the next place where the anchor lies and the first byte fits; no
    // match starts before it.
    constexpr qsizetype kAnchorMax = 8;
    qsizetype anchorAt = 0;
    qsizetype anchorLen = 0;
    if (!ci) {
        anchorLen = std::min(m, kAnchorMax);
    } else {
        for (qsizetype j = 0; j < m;) {
            if (pat[j] >= 'a' && pat[j] <= 'z') {
                ++j;
                continue;
            }
            qsizetype e = j;
            while (e < m && !(pat[e] >= 'a' && pat[e] <= 'z'))
                ++e;
            if (e - j > anchorLen) {
                anchorAt = j;
                anchorLen = e - j;
            }
            j = e;
        }
        anchorLen = std::min(anchorLen, kAnchorMax);
    }
    qsizetype k = 0;
    for (qsizetype i = from; i < n; ++i) {
        if (k == 0) {
            if (anchorLen > 0) {
                for (;;) {
                    const qsizetype a = i + anchorAt;
                    if (a + anchorLen > n)
                        return;
                    const void *at = memmem(data + a, size_t(n - a), pat + anchorAt, size_t(anchorLen));
                    if (!at)
                        return;
                    const qsizetype start = static_cast<const char *>(at) - data - anchorAt;
                    if (fold(data[start], ci) == first) {
                        i = start;
                        break;
                    }
                    i = start + 1;
                }
            } else if (exactFirst) {
                const void *at = std::memchr(data + i, first, size_t(n - i));
                if (!at)
                    return;
                i = static_cast<const char *>(at) - data;
            } else {
                // The next of either case, each found by memchr and kept until passed.
                if (nextLower < i)
                    nextLower = find(first, i);
                if (nextUpper < i)
                    nextUpper = find(upper, i);
                i = std::min(nextLower, nextUpper);
                if (i == n)
                    return;
            }
        }
        const char c = fold(data[i], ci);
        while (k > 0 && c != pat[k])
            k = border[k - 1];
        if (c == pat[k])
            ++k;
        if (k == m) {
            if (!onMatch(i - m + 1))
                return;
            k = border[k - 1];
        }
    }
}

} // namespace

qsizetype findBytes(QByteArrayView haystack, QByteArrayView needle, qsizetype from, bool caseInsensitive)
{
    qsizetype found = -1;
    scan(haystack, needle, std::max<qsizetype>(from, 0), caseInsensitive, [&](qsizetype at) {
        found = at;
        return false;
    });
    return found;
}

QByteArray removeAll(QByteArrayView text, QByteArrayView needle)
{
    QByteArray out;
    out.reserve(text.size());
    qsizetype pos = 0;
    // Non-overlapping, left to right: an occurrence that starts inside a removed one is
    // skipped, as a single replace pass does.
    scan(text, needle, 0, false, [&](qsizetype at) {
        if (at < pos)
            return true;
        out.append(text.sliced(pos, at - pos));
        pos = at + needle.size();
        return true;
    });
    out.append(text.sliced(pos));
    return out;
}

Occurrences::Occurrences(QByteArrayView haystack, QByteArrayView needle, bool caseInsensitive)
{
    scan(haystack, needle, 0, caseInsensitive, [&](qsizetype at) {
        positions_.push_back(at);
        return true;
    });
}

qsizetype Occurrences::next(qsizetype from) const
{
    const auto it = std::lower_bound(positions_.begin(), positions_.end(), from);
    return it == positions_.end() ? -1 : *it;
}

} // namespace lum
