#pragma once
// The rules of the options program's forms that do not need a widget: what a timer or port
// box accepts, how an account row reads, how wide the account list's columns are.

#include "settings/account_record.h"

#include <QString>
#include <optional>

namespace lum {

// A timer box holds a whole number from 0 to 32767 (the store keeps 16-bit numbers).
std::optional<qint16> timerValue(const QString &text);
inline bool timerTextValid(const QString &text) { return timerValue(text).has_value(); }

// A port box holds a TCP port, a whole number from 1 to 65535, as a connection takes it.
std::optional<quint16> portValue(const QString &text);

// Shown beside a port box whose text is refused.
inline const QString portHint = QStringLiteral("1～65535の数字を入れてください");

// Column 0 of the account list: the name followed by the server in parentheses.
QString accountRowText(const AccountRecord &account);
// Column 1: "○" when the account takes part in checking, else "×".
QString accountMark(const AccountRecord &account);

// The account list's column widths in twips: column 0 leaves room for the scroll bar from
// 20 accounts on.
inline int accountNameColumnTwips(int accountCount) { return accountCount < 20 ? 4960 : 4700; }
inline constexpr int accountMarkColumnTwips = 320;

// The account dialog's name when the user left it empty: user "@" host.
QString defaultAccountName(const QString &user, const QString &host);

} // namespace lum
