#include "decode/viewer_text.h"

namespace lum {

namespace {

// Appends text with its CR LF pairs as LF; a lone CR stays.
void appendWithLf(QString &out, const QString &text)
{
    const QChar *src = text.constData();
    const qsizetype n = text.size();
    qsizetype run = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (src[i] == u'\r' && i + 1 < n && src[i + 1] == u'\n') {
            out.append(src + run, i - run);
            run = i + 1;
        }
    }
    out.append(src + run, n - run);
}

} // namespace

QString viewerText(const MailRecord &r)
{
    QString out;
    out.reserve(r.subject.size() + r.from.size() + r.attachNames.size() + r.body.size() + 40);
    out += QStringLiteral("Subject: ");
    appendWithLf(out, r.subject);
    out += QStringLiteral("\n   From: ");
    appendWithLf(out, r.from);
    out += QLatin1Char('\n');
    if (r.attach) {
        out += QStringLiteral(" Attach:  ");
        appendWithLf(out, r.attachNames);
        out += QLatin1Char('\n');
    }
    out += QLatin1Char('\n');
    appendWithLf(out, r.body);
    return out;
}

} // namespace lum
