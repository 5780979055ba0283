#include "decode/modern_message.h"

#include "decode/modern_text.h"

#include <QRegularExpression>
#include <map>

namespace lum {

namespace {

constexpr int maxDepth = 32;

struct Part {
    QByteArrayView header;
    QByteArrayView body;
};

Part splitPart(QByteArrayView part)
{
    qsizetype end = part.indexOf("\r\n\r\n");
    qsizetype skip = 4;
    const qsizetype lf = part.indexOf("\n\n");
    if (lf >= 0 && (end < 0 || lf < end)) {
        end = lf;
        skip = 2;
    }
    if (part.startsWith("\r\n"))
        return {{}, part.sliced(2)};
    if (part.startsWith("\n"))
        return {{}, part.sliced(1)};
    if (end < 0)
        return {part, {}};
    return {part.first(end), part.sliced(end + skip)};
}

} // namespace

QByteArray headerField(QByteArrayView header, QByteArrayView name)
{
    qsizetype lineStart = 0;
    while (lineStart < header.size()) {
        qsizetype lineEnd = header.indexOf('\n', lineStart);
        if (lineEnd < 0)
            lineEnd = header.size();
        const QByteArrayView line = header.sliced(lineStart, lineEnd - lineStart);
        if (line.size() > name.size() && line[name.size()] == ':'
            && line.first(name.size()).compare(name, Qt::CaseInsensitive) == 0) {
            QByteArray value = line.sliced(name.size() + 1).toByteArray();
            // Continuation lines start with white space.
            qsizetype next = lineEnd + 1;
            while (next < header.size() && (header[next] == ' ' || header[next] == '\t')) {
                qsizetype e = header.indexOf('\n', next);
                if (e < 0)
                    e = header.size();
                value += "\r\n" + header.sliced(next, e - next).toByteArray();
                next = e + 1;
            }
            return value;
        }
        lineStart = lineEnd + 1;
    }
    return {};
}

QByteArrayView messageOfReply(QByteArrayView reply)
{
    if (!reply.startsWith("+OK"))
        return reply;
    const qsizetype lf = reply.indexOf('\n');
    return lf < 0 ? QByteArrayView() : reply.sliced(lf + 1);
}

QByteArrayView headerOf(QByteArrayView message)
{
    return splitPart(message).header;
}

namespace {

// A header value such as `text/plain; charset="utf-8"`: its first word in lower case and
// its parameters, with RFC 2231 continuations and charsets already joined and decoded.
struct Structured {
    QByteArray value;
    std::map<QByteArray, QString> params;
    QString param(const char *name) const
    {
        auto it = params.find(name);
        return it == params.end() ? QString() : it->second;
    }
};

QByteArray percentDecode(QByteArrayView text)
{
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            bool ok = false;
            const int v = text.sliced(i + 1, 2).toInt(&ok, 16);
            if (ok) {
                out += char(v);
                i += 2;
                continue;
            }
        }
        out += text[i];
    }
    return out;
}

Structured parseStructured(const QByteArray &raw)
{
    QByteArray v;
    for (char c : raw) {
        if (c != '\r' && c != '\n')
            v += c;
    }
    Structured s;
    qsizetype i = v.indexOf(';');
    s.value = (i < 0 ? v : v.first(i)).trimmed().toLower();
    // Pieces of RFC 2231 parameters: name -> section -> (encoded, text).
    std::map<QByteArray, std::map<int, std::pair<bool, QByteArray>>> pieces;
    while (i >= 0 && i < v.size()) {
        ++i;
        const qsizetype eq = v.indexOf('=', i);
        if (eq < 0)
            break;
        QByteArray name = v.sliced(i, eq - i).trimmed().toLower();
        qsizetype j = eq + 1;
        while (j < v.size() && (v[j] == ' ' || v[j] == '\t'))
            ++j;
        QByteArray value;
        if (j < v.size() && v[j] == '"') {
            ++j;
            while (j < v.size() && v[j] != '"') {
                if (v[j] == '\\' && j + 1 < v.size())
                    ++j;
                value += v[j++];
            }
            i = v.indexOf(';', j);
        } else {
            const qsizetype semi = v.indexOf(';', j);
            value = v.sliced(j, (semi < 0 ? v.size() : semi) - j).trimmed();
            i = semi;
        }
        bool encoded = name.endsWith('*');
        if (encoded)
            name.chop(1);
        int section = 0;
        if (const qsizetype star = name.indexOf('*'); star >= 0) {
            bool ok = false;
            section = name.sliced(star + 1).toInt(&ok);
            if (!ok || section < 0 || section > 999)
                continue;
            name.truncate(star);
        } else if (!encoded) {
            section = -1; // a plain parameter
        }
        if (section < 0) {
            if (!s.params.count(name))
                s.params[name] = decodeHeaderText(value);
            continue;
        }
        pieces[name][section] = {encoded, value};
    }
    for (auto &[name, sections] : pieces) {
        QByteArray bytes;
        QByteArray charset;
        for (auto &[n, piece] : sections) {
            QByteArray text = piece.second;
            if (piece.first) {
                if (n == sections.begin()->first) {
                    // charset'language'text
                    const qsizetype q1 = text.indexOf('\'');
                    const qsizetype q2 = q1 < 0 ? -1 : text.indexOf('\'', q1 + 1);
                    if (q2 >= 0) {
                        charset = text.first(q1);
                        text = text.sliced(q2 + 1);
                    }
                }
                bytes += percentDecode(text);
            } else {
                bytes += text;
            }
        }
        s.params[name] = textInCharset(bytes, charset); // RFC 2231 wins over name=
    }
    return s;
}

struct Walk {
    ModernMessage out;
    bool havePlain = false;
    QString html;
    bool haveHtml = false;

    QString partText(const Part &p, const Structured &type)
    {
        const QByteArray cte = parseStructured(headerField(p.header, "Content-Transfer-Encoding")).value;
        QByteArray bytes;
        if (cte == "base64")
            bytes = decodeBase64Lenient(p.body);
        else if (cte == "quoted-printable")
            bytes = decodeQuotedPrintable(p.body);
        else
            bytes = p.body.toByteArray();
        return textInCharset(bytes, type.param("charset").toLatin1());
    }

    void visit(QByteArrayView whole, int depth)
    {
        const Part p = splitPart(whole);
        const Structured type = parseStructured(headerField(p.header, "Content-Type"));
        const Structured disposition = parseStructured(headerField(p.header, "Content-Disposition"));
        QString name = disposition.param("filename");
        if (name.isEmpty())
            name = type.param("name");
        const bool multipart = type.value.startsWith("multipart/");
        if (multipart && depth < maxDepth) {
            const QByteArray boundary = type.param("boundary").toUtf8();
            if (!boundary.isEmpty()) {
                visitParts(p.body, "--" + boundary, depth + 1);
                return;
            }
        }
        if (disposition.value == "attachment" || !name.isEmpty() || multipart) {
            out.attach = true;
            if (!name.isEmpty())
                out.names << name;
            return;
        }
        if ((type.value.isEmpty() || type.value == "text/plain") && !havePlain) {
            out.body = partText(p, type);
            havePlain = true;
        } else if (type.value == "text/html" && !haveHtml) {
            html = htmlToText(partText(p, type));
            haveHtml = true;
        }
    }

    // The parts between delimiter lines; a last part without its closing delimiter runs
    // to the end.
    void visitParts(QByteArrayView body, const QByteArray &delimiter, int depth)
    {
        qsizetype start = -1;
        qsizetype pos = 0;
        while (pos <= body.size()) {
            const qsizetype d = body.indexOf(delimiter, pos);
            if (d < 0)
                break;
            const bool atLineStart = d == 0 || body[d - 1] == '\n';
            if (!atLineStart) {
                pos = d + 1;
                continue;
            }
            if (start >= 0) {
                qsizetype end = d;
                if (end > start && body[end - 1] == '\n')
                    --end;
                if (end > start && body[end - 1] == '\r')
                    --end;
                visit(body.sliced(start, end - start), depth);
            }
            const qsizetype after = d + delimiter.size();
            if (body.sliced(after).startsWith("--"))
                return; // the closing delimiter
            const qsizetype lineEnd = body.indexOf('\n', after);
            if (lineEnd < 0)
                return;
            start = lineEnd + 1;
            pos = start;
        }
        if (start >= 0 && start < body.size())
            visit(body.sliced(start), depth);
    }
};

} // namespace

ModernMessage readModernMessage(QByteArrayView message)
{
    Walk walk;
    walk.visit(message, 0);
    if (!walk.havePlain && walk.haveHtml)
        walk.out.body = walk.html;
    walk.out.body.remove(QLatin1Char('\t'));
    return walk.out;
}

QString htmlToText(const QString &html)
{
    static const QRegularExpression hidden(QStringLiteral("<(script|style)\\b[^>]*>.*?</\\1\\s*>"),
                                           QRegularExpression::CaseInsensitiveOption
                                               | QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression breaks(QStringLiteral("<(br|/p|/div|/li|/tr|/h[1-6])\\b[^>]*>"),
                                           QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tags(QStringLiteral("<[^>]*>"));
    static const QRegularExpression numeric(QStringLiteral("&#(x?)([0-9a-fA-F]{1,6});"));
    QString text = html;
    text.remove(hidden);
    text.replace(breaks, QStringLiteral("\n"));
    text.remove(tags);
    QString out;
    qsizetype last = 0;
    for (auto it = numeric.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        bool ok = false;
        const uint code = m.captured(2).toUInt(&ok, m.captured(1).isEmpty() ? 10 : 16);
        out += QStringView(text).sliced(last, m.capturedStart() - last);
        if (ok && code > 0 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF))
            out += QString::fromUcs4(reinterpret_cast<const char32_t *>(&code), 1);
        last = m.capturedEnd();
    }
    out += QStringView(text).sliced(last);
    const std::pair<const char *, const char *> entities[] = {
        {"&nbsp;", " "}, {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}};
    for (const auto &[entity, ch] : entities)
        out.replace(QLatin1String(entity), QLatin1String(ch));
    return out;
}

} // namespace lum
