#pragma once
// The From and Subject of a TOP reply as the mail list shows them.

#include <QByteArray>
#include <QString>

namespace lum {

// Header names are found by plain substring search over the whole reply, letters in
// either case; the first occurrence counts, even inside another field.

// "Subject: " value: folded lines joined with no separator (the white space that starts a
// continuation line goes too), then decoded with Subject rules. A reply with no line break
// after the name gives only the plain text in front of a first encoded word, or nothing.
QString summarySubject(const QByteArray &reply);

// "From: " value up to the end of its first line, decoded; empty without a line break.
QString summaryFrom(const QByteArray &reply);

} // namespace lum
