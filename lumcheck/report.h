#pragma once
// What lumcheck prints: the mail list as TAB-separated lines or JSON, a retrieved message
// as the viewer shows it, and the parsing of "A:M,A:M" message lists.

#include "decode/mail_table.h"
#include "decode/viewer_text.h"
#include "decode/visible_text.h"

#include <QList>
#include <QString>
#include <functional>
#include <optional>

namespace lum {

struct MessageRef {
    int account = 0;
    int message = 0;
    bool operator==(const MessageRef &) const = default;
};

// "1:2,3:10" -> {1,2},{3,10}. Empty when any item is not two positive decimal numbers.
std::optional<QList<MessageRef>> parseMessageRefs(const QString &text);

struct ListRow {
    int account = 0;
    QString name; // the account's display name
    int message = 0;
    bool attach = false;
    QString from;
    QString subject;
};

// The rows of the list: for each account 1..accountCount its messages 1..count(account),
// newest first within each account when newestFirst.
QList<ListRow> listRows(const MailTable &table, int accountCount,
                        const std::function<int(int)> &count,
                        const std::function<QString(int)> &name, bool newestFirst);

// account TAB message TAB attach(0/1) TAB From TAB Subject, one line per row; no control
// character in From or Subject reaches the output.
QString formatTsv(const QList<ListRow> &rows);
// [{"account":1,"name":"...","message":1,"attach":false,"from":"...","subject":"..."}]
QString formatJson(const QList<ListRow> &rows);

} // namespace lum
