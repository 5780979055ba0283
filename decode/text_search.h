#pragma once
// Substring search over byte strings that stays linear however long the pattern is (a MIME
// boundary can be as long as the message), and however often a loop searches again.

#include <QByteArray>
#include <QByteArrayView>
#include <vector>

namespace lum {

// First position at or after from where needle starts, or -1. With caseInsensitive the
// ASCII letters match in either case; other bytes match exactly. An empty needle finds
// nothing. Knuth-Morris-Pratt: time linear in the scanned text plus the needle.
qsizetype findBytes(QByteArrayView haystack, QByteArrayView needle, qsizetype from = 0,
                    bool caseInsensitive = false);

inline qsizetype findCi(QByteArrayView haystack, QByteArrayView needle, qsizetype from = 0)
{
    return findBytes(haystack, needle, from, true);
}

// The text with every occurrence of needle taken out, in one left-to-right pass (what is
// joined by a removal is not searched again).
QByteArray removeAll(QByteArrayView text, QByteArrayView needle);

// Every start position of needle in one text, overlapping ones included, found in one
// pass; next(from) answers "first at or after from" in logarithmic time. For loops that
// search the same text again from growing positions.
class Occurrences {
public:
    Occurrences(QByteArrayView haystack, QByteArrayView needle, bool caseInsensitive);
    qsizetype next(qsizetype from) const; // -1 when none

private:
    std::vector<qsizetype> positions_;
};

} // namespace lum
