#include "lumcheck/report.h"

#include <algorithm>

#include <QJsonArray>
#include <QJsonDocument>

namespace lum {

std::optional<QList<MessageRef>> parseMessageRefs(const QString &text)
{
    QList<MessageRef> refs;
    for (const QString &item : text.split(QLatin1Char(','))) {
        const QStringList parts = item.trimmed().split(QLatin1Char(':'));
        if (parts.size() != 2)
            return std::nullopt;
        bool okA = false, okM = false;
        const int a = parts[0].toInt(&okA);
        const int m = parts[1].toInt(&okM);
        if (!okA || !okM || a < 1 || m < 1 || a > 32767 || m > 32767)
            return std::nullopt;
        refs.append({a, m});
    }
    return refs;
}

QList<ListRow> listRows(const MailTable &table, int accountCount,
                        const std::function<int(int)> &count,
                        const std::function<QString(int)> &name, bool newestFirst)
{
    QList<ListRow> rows;
    for (int a = 1; a <= accountCount; ++a) {
        const qsizetype start = rows.size();
        const int listed = count(a);
        const QString account = listed > 0 ? name(a) : QString();
        for (int m = 1; m <= listed; ++m) {
            const MailRecord *r = table.record(a, m);
            if (!r)
                break;
            rows.append(ListRow{a, account, m, r->attach, r->from, r->subject});
        }
        if (newestFirst)
            std::reverse(rows.begin() + start, rows.end());
    }
    return rows;
}

QString formatTsv(const QList<ListRow> &rows)
{
    QString out;
    for (const ListRow &r : rows) {
        out += QString::number(r.account) + QLatin1Char('\t') + QString::number(r.message)
            + QLatin1Char('\t') + QLatin1Char(r.attach ? '1' : '0') + QLatin1Char('\t')
            + visibleText(r.from) + QLatin1Char('\t') + visibleText(r.subject) + QLatin1Char('\n');
    }
    return out;
}

// A JSON string literal, escaped as QJsonDocument escapes it; DEL and C1, which it leaves
// as they are, are escaped too, so that no control character reaches a terminal.
static QString jsonString(const QString &text)
{
    const QByteArray doc = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    QString literal = QString::fromUtf8(doc.sliced(1, doc.size() - 2));
    for (qsizetype i = literal.size() - 1; i >= 0; --i) {
        const char16_t c = literal[i].unicode();
        if (c >= 0x7F && c <= 0x9F)
            literal.replace(i, 1, QStringLiteral("\\u%1").arg(int(c), 4, 16, QLatin1Char('0')));
    }
    return literal;
}

QString formatJson(const QList<ListRow> &rows)
{
    // Written by hand to keep the fields in the order of the text form.
    QString out = QStringLiteral("[");
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const ListRow &r = rows[i];
        if (i > 0)
            out += QLatin1Char(',');
        out += QStringLiteral("{\"account\":%1,\"name\":%2,\"message\":%3,\"attach\":%4,"
                              "\"from\":%5,\"subject\":%6}")
                   .arg(QString::number(r.account), jsonString(r.name), QString::number(r.message),
                        r.attach ? QStringLiteral("true") : QStringLiteral("false"),
                        jsonString(r.from), jsonString(r.subject));
    }
    return out + QStringLiteral("]\n");
}

} // namespace lum
