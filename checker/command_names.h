#pragma once
// The names by which `lumwatchd --command` asks the running checker for one of the six
// commands of the system-wide keys, in the order of the keys.

#include <QByteArrayView>
#include <array>
#include <optional>

namespace lum {

inline constexpr std::array<const char *, 6> commandNames{"options", "check",   "show",
                                                          "mailer1", "mailer2", "exit"};

// The key index (0..5) of a command name, exactly as written above; nothing for any other
// text, also for a name with spaces or a line end around it.
std::optional<int> commandIndex(QByteArrayView name);

} // namespace lum
