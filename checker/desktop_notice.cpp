#include "checker/desktop_notice.h"

#include "decode/visible_text.h"

#include <QStringList>
#include <algorithm>

namespace lum {
namespace {

// At most noticeLineLength UTF-16 units, never between the halves of a surrogate pair.
QString cut(const QString &line)
{
    if (line.size() <= noticeLineLength)
        return line;
    qsizetype n = noticeLineLength - 1;
    if (line[n - 1].isHighSurrogate())
        --n;
    return line.left(n) + QChar(0x2026);
}

} // namespace

bool NoticeMessage::sameMessage(const NoticeMessage &o) const
{
    return account == o.account && identity == o.identity && from == o.from && subject == o.subject;
}

QString noticeSummary(int count)
{
    return QStringLiteral("Lumora: 新着メール %1通").arg(count);
}

QString noticeBody(std::vector<NoticeMessage> fresh, DesktopNotice mode)
{
    if (mode != DesktopNotice::SendersAndSubjects)
        return {};
    std::stable_sort(fresh.begin(), fresh.end(), [](const NoticeMessage &a, const NoticeMessage &b) {
        return a.account != b.account ? a.account < b.account : a.message > b.message;
    });
    QStringList lines;
    for (size_t i = 0; i < fresh.size() && i < size_t(noticeLines); ++i) {
        const NoticeMessage &m = fresh[i];
        lines << cut(visibleText(m.from + QStringLiteral(" — ") + m.subject));
    }
    if (fresh.size() > size_t(noticeLines))
        lines << QStringLiteral("ほか %1通").arg(fresh.size() - size_t(noticeLines));
    return lines.join(QLatin1Char('\n'));
}

NoticeStep NoticeState::checked(const std::vector<NoticeMessage> &fresh, bool arrival,
                                DesktopNotice mode)
{
    if (arrival && mode != DesktopNotice::Off && !fresh.empty()) {
        named_ = fresh;
        closeWhenSent_ = false;
        NoticeStep step{NoticeStep::Send, id_, noticeSummary(int(fresh.size())),
                        noticeBody(fresh, mode)};
        if (sending_) {
            waiting_ = step;
            return {};
        }
        sending_ = true;
        return step;
    }
    const bool stillNew = std::any_of(named_.begin(), named_.end(), [&](const NoticeMessage &n) {
        return std::any_of(fresh.begin(), fresh.end(),
                           [&](const NoticeMessage &f) { return f.sameMessage(n); });
    });
    return stillNew ? NoticeStep{} : close();
}

NoticeStep NoticeState::listOpened()
{
    return close();
}

NoticeStep NoticeState::leaving()
{
    return close();
}

void NoticeState::serverChanged()
{
    id_ = 0;
    if (!sending_)
        named_.clear();
}

NoticeStep NoticeState::sent(quint32 id)
{
    sending_ = false;
    id_ = id;
    return next();
}

// The notification shown before, if any, stays shown.
NoticeStep NoticeState::failed()
{
    sending_ = false;
    return next();
}

void NoticeState::closed(quint32 id)
{
    if (!ours(id))
        return;
    id_ = 0;
    if (!sending_) // else the messages are those of the notification on its way
        named_.clear();
}

NoticeStep NoticeState::close()
{
    named_.clear();
    waiting_.reset();
    if (sending_) {
        closeWhenSent_ = true;
        return {};
    }
    if (id_ == 0)
        return {};
    const NoticeStep step{NoticeStep::Close, id_, {}, {}};
    id_ = 0;
    return step;
}

NoticeStep NoticeState::next()
{
    if (closeWhenSent_) {
        closeWhenSent_ = false;
        return close();
    }
    if (!waiting_)
        return {};
    NoticeStep step = *waiting_;
    waiting_.reset();
    step.id = id_;
    sending_ = true;
    return step;
}

} // namespace lum
