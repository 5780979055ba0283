// The desktop notification's text, and when it is sent in place of the one before or closed.
#include "checker/desktop_notice.h"

#include <functional>
#include <gtest/gtest.h>

namespace lum {
namespace {

NoticeMessage msg(int account, int message, const QString &from, const QString &subject)
{
    return {account, message, {"<" + QByteArray::number(account * 100 + message) + "@x>", {}, {}, {}}, from, subject};
}

std::vector<NoticeMessage> numbered(int count)
{
    std::vector<NoticeMessage> v;
    for (int m = 1; m <= count; ++m)
        v.push_back(msg(1, m, QStringLiteral("差出人%1").arg(m), QStringLiteral("件名%1").arg(m)));
    return v;
}

TEST(DesktopNotice, BodyText)
{
    const QString longSubject = QString(100, QChar(u'長'));
    struct Row {
        const char *what;
        std::vector<NoticeMessage> fresh;
        QString body;
        DesktopNotice mode = DesktopNotice::SendersAndSubjects;
    };
    const Row rows[] = {
        {"plain", {msg(1, 1, "山田花子", "お知らせ")}, "山田花子 — お知らせ"},
        {"line breaks of Unicode", {msg(1, 1, "a\u0085b", "x\u2028偽の行")}, "a\ufffdb — x\ufffd偽の行"},
        {"override and C1", {msg(1, 1, "a\nb\u202E", "\u009b2J")}, "a\u240ab\ufffd — \ufffd2J"},
        {"newest first, accounts in order", {msg(2, 1, "c", "3"), msg(1, 1, "a", "1"), msg(1, 2, "b", "2")},
         "b — 2\na — 1\nc — 3"},
        {"more than five", numbered(7),
         "差出人7 — 件名7\n差出人6 — 件名6\n差出人5 — 件名5\n差出人4 — 件名4\n差出人3 — 件名3\nほか 2通"},
        {"long line cut", {msg(1, 1, "x", longSubject)}, "x — " + longSubject.left(75) + "…"},
        {"count only", numbered(2), "", DesktopNotice::CountOnly},
    };
    for (const Row &row : rows)
        EXPECT_EQ(noticeBody(row.fresh, row.mode), row.body) << row.what;
    EXPECT_EQ(noticeSummary(7), "Lumora: 新着メール 7通");
}

TEST(DesktopNotice, ReplacedAndClosed)
{
    const auto one = numbered(1);
    const auto two = numbered(2);
    struct Row {
        const char *what;
        std::function<NoticeStep(NoticeState &)> event;
        NoticeStep::Kind kind;
        quint32 id; // replaced or closed
    };
    const auto check = [](std::vector<NoticeMessage> fresh, bool arrival,
                          DesktopNotice mode = DesktopNotice::SendersAndSubjects) {
        return [=](NoticeState &s) { return s.checked(fresh, arrival, mode); };
    };
    const auto sent = [](quint32 id) { return [=](NoticeState &s) { return s.sent(id); }; };
    const auto opened = [](NoticeState &s) { return s.listOpened(); };
    const Row rows[] = {
        {"off: nothing", check(one, true, DesktopNotice::Off), NoticeStep::None, 0},
        {"first arrival", check(one, true), NoticeStep::Send, 0},
        {"answered", sent(7), NoticeStep::None, 0},
        {"second arrival replaces", check(two, true), NoticeStep::Send, 7},
        {"answered", sent(7), NoticeStep::None, 0},
        {"later check, one still new", check({two[1]}, false), NoticeStep::None, 0},
        {"later check, none new", check({}, true), NoticeStep::Close, 7},
        {"arrival", check(one, true), NoticeStep::Send, 0},
        {"arrival before the answer waits", check(two, true), NoticeStep::None, 0},
        {"the answer sends it", sent(8), NoticeStep::Send, 8},
        {"answered", sent(8), NoticeStep::None, 0},
        {"list opened", opened, NoticeStep::Close, 8},
        {"arrival", check(one, true), NoticeStep::Send, 0},
        {"list opened before the answer", opened, NoticeStep::None, 0},
        {"the answer closes it", sent(9), NoticeStep::Close, 9},
        {"arrival", check(one, true), NoticeStep::Send, 0},
        {"no server", [](NoticeState &s) { return s.failed(); }, NoticeStep::None, 0},
        {"next arrival replaces nothing", check(two, true), NoticeStep::Send, 0},
        {"answered", sent(10), NoticeStep::None, 0},
        {"closed by the server", [](NoticeState &s) { s.closed(10); return NoticeStep{}; }, NoticeStep::None, 0},
        {"next arrival replaces nothing", check(one, true), NoticeStep::Send, 0},
        {"answered", sent(11), NoticeStep::None, 0},
        {"another server", [](NoticeState &s) { s.serverChanged(); return NoticeStep{}; }, NoticeStep::None, 0},
        {"its id is not the old one", check(two, true), NoticeStep::Send, 0},
    };
    NoticeState state;
    for (const Row &row : rows) {
        const NoticeStep step = row.event(state);
        EXPECT_EQ(step.kind, row.kind) << row.what;
        EXPECT_EQ(step.id, row.id) << row.what;
    }
}

} // namespace
} // namespace lum
