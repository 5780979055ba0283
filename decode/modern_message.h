#pragma once
// A whole retrieved message read as MIME (RFC 2045-2047, 2231), for the option to read
// today's mail: the text to show and the attachment names.

#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace lum {

struct ModernMessage {
    QString body;      // the first text/plain part, else the first text/html part as text
    bool attach = false;
    QStringList names; // attachment names, decoded, in order
};

// message: the RETR reply's message (header, blank line, body). Multiparts nest up to a
// fixed depth; deeper parts are not looked into. Malformed structure gives the best text
// it can, never text of another message.
ModernMessage readModernMessage(QByteArrayView message);

// The message of a POP3 reply: without the "+OK" status line when it has one.
QByteArrayView messageOfReply(QByteArrayView reply);
// The header of a message: everything before its first empty line.
QByteArrayView headerOf(QByteArrayView message);
// The value of header field name (letters in either case), folded lines included; empty
// when the header has no such field.
QByteArray headerField(QByteArrayView header, QByteArrayView name);

// The text of an HTML document: tags out, line breaks for <br>, paragraphs and list items,
// scripts and styles dropped, the common character references replaced.
QString htmlToText(const QString &html);

} // namespace lum
