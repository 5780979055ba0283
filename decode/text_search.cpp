#include "decode/text_search.h"

#include <algorithm>

namespace lum {
namespace {

char fold(char c, bool caseInsensitive)
{
    return caseInsensitive && c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

// Knuth-Morris-Pratt over haystack[from..], calling onMatch(start) for every occurrence
// until it returns false.
template <class OnMatch>
void scan(QByteArrayView hay, QByteArrayView needle, qsizetype from, bool ci, OnMatch onMatch)
{
    const qsizetype m = needle.size();
    if (m == 0 || from < 0 || from >= hay.size())
        return;
    std::vector<char> pat(static_cast<size_t>(m));
    for (qsizetype i = 0; i < m; ++i)
        pat[size_t(i)] = fold(needle[i], ci);
    std::vector<qsizetype> border(static_cast<size_t>(m), 0);
    for (qsizetype i = 1, k = 0; i < m; ++i) {
        while (k > 0 && pat[size_t(i)] != pat[size_t(k)])
            k = border[size_t(k - 1)];
        if (pat[size_t(i)] == pat[size_t(k)])
            ++k;
        border[size_t(i)] = k;
    }
    qsizetype k = 0;
    for (qsizetype i = from; i < hay.size(); ++i) {
        const char c = fold(hay[i], ci);
        while (k > 0 && c != pat[size_t(k)])
            k = border[size_t(k - 1)];
        if (c == pat[size_t(k)])
            ++k;
        if (k == m) {
            if (!onMatch(i - m + 1))
                return;
            k = border[size_t(k - 1)];
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
