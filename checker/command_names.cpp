#include "checker/command_names.h"

namespace lum {

std::optional<int> commandIndex(QByteArrayView name)
{
    for (size_t index = 0; index < commandNames.size(); ++index) {
        if (name == QByteArrayView(commandNames[index]))
            return int(index);
    }
    return std::nullopt;
}

} // namespace lum
