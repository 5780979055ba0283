// Times the decoders on hostile inputs of doubling size. Linear code shows a ratio near 2
// from one size to the next; a ratio near 4 means a quadratic loop. Not a test: timing
// depends on the machine, so it only reports (scripts/bench_decode.sh).

#include "decode/decode_field.h"
#include "decode/summary.h"

#include <chrono>
#include <cstdio>
#include <functional>

using namespace lum;

namespace {

struct Shape {
    const char *name;
    std::function<QByteArray(int)> make; // about n bytes
};

double secondsFor(const QByteArray &reply)
{
    MailTable table(1);
    const auto start = std::chrono::steady_clock::now();
    DecodeField(reply, true, true);
    subListSet(reply, table, 1, 1);
    QByteArray buf = reply;
    subListSet2(buf, table, 1, 1);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main()
{
    const Shape shapes[] = {
        {"encoded-word openers", [](int n) { return QByteArray("=?ISO-2022-JP?B?").repeated(n / 16); }},
        {"complete words", [](int n) { return QByteArray("=?ISO-2022-JP?B?GyRCJCIbKEI=?=").repeated(n / 30); }},
        {"segment openers", [](int n) { return QByteArray("\x1b$B").repeated(n / 3); }},
        {"JIS body", [](int n) { return "\r\n\r\n" + QByteArray("\x1b$B$\"\x1b(B ").repeated(n / 9); }},
        {"folded subject", [](int n) { return "Subject: " + QByteArray("a\r\n ").repeated(n / 4); }},
        {"parts with open names",
         [](int n) {
             return "boundary=\"b\"\r\n\r\n" + QByteArray("b\r\nContent-Type: x; name=\"").repeated(n / 27) + "\"\r\n\r\n";
         }},
        {"self-similar boundary",
         [](int n) {
             const QByteArray unit = "\r\nContent-Type: ";
             return "boundary=\"" + unit.repeated(n / 64) + "\"" + unit.repeated(n / 32);
         }},
        {"many short parts",
         [](int n) {
             return "Content-Type: multipart/mixed; boundary=\"XYZ\"\r\n\r\n"
                    + QByteArray("--XYZ\r\nContent-Type: text/plain\r\n\r\nx\r\n").repeated(n / 40);
         }},
    };
    std::printf("%-24s %10s %10s %10s %10s  ratio 2M/1M\n", "shape", "256K", "512K", "1M", "2M");
    for (const Shape &s : shapes) {
        double t[4];
        for (int i = 0; i < 4; ++i)
            t[i] = secondsFor(s.make((256 << 10) << i));
        std::printf("%-24s %9.3fs %9.3fs %9.3fs %9.3fs  %5.2f\n", s.name, t[0], t[1], t[2], t[3],
                    t[2] > 0 ? t[3] / t[2] : 0.0);
    }
    return 0;
}
