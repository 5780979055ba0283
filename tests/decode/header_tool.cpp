// Reads one header value per line, hex-encoded, and writes its text as the option to read
// every charset decodes it, UTF-8 hex-encoded: the C++ side of header_differential.py.
#include "decode/modern_text.h"

#include <iostream>
#include <string>

int main()
{
    std::string line;
    while (std::getline(std::cin, line)) {
        const QByteArray raw = QByteArray::fromHex(QByteArray::fromStdString(line));
        std::cout << lum::decodeHeaderText(raw).toUtf8().toHex().toStdString() << '\n';
    }
    return 0;
}
