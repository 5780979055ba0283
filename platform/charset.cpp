#include "platform/charset.h"

#include "platform/codepage.h"

#include <QStringDecoder>
#include <cerrno>
#include <iconv.h>
#include <map>
#include <memory>

namespace lum {

namespace {

constexpr qsizetype maxNameLength = 40;

bool plausibleName(QByteArrayView name)
{
    if (name.isEmpty() || name.size() > maxNameLength)
        return false;
    for (char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_'
            || c == '.' || c == ':' || c == '+';
        if (!ok)
            return false;
    }
    return true;
}

class Iconv {
public:
    explicit Iconv(const QByteArray &from) : cd_(iconv_open("UTF-8", from.constData())) {}
    ~Iconv()
    {
        if (valid())
            iconv_close(cd_);
    }
    Iconv(const Iconv &) = delete;
    Iconv &operator=(const Iconv &) = delete;
    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    std::optional<QString> run(QByteArrayView bytes, CharsetErrors errors)
    {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        QByteArray out;
        out.reserve(bytes.size() * 2 + 16);
        char *in = const_cast<char *>(bytes.data());
        size_t inLeft = size_t(bytes.size());
        while (inLeft > 0) {
            const qsizetype used = out.size();
            out.resize(used + qsizetype(inLeft) * 3 + 16);
            char *dst = out.data() + used;
            size_t dstLeft = size_t(out.size() - used);
            const size_t r = iconv(cd_, &in, &inLeft, &dst, &dstLeft);
            out.resize(out.size() - qsizetype(dstLeft));
            if (r != size_t(-1) || errno == E2BIG)
                continue;
            if (errors == CharsetErrors::Fail)
                return std::nullopt;
            out += "\xEF\xBF\xBD"; // U+FFFD for the byte that does not decode
            if (errno == EINVAL)
                break; // a sequence cut off at the end
            ++in;
            --inLeft;
            iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        }
        return QString::fromUtf8(out);
    }

private:
    iconv_t cd_;
};

// A few descriptors per thread, by charset name; iconv_open is far too slow per field.
Iconv *converter(const QByteArray &name)
{
    thread_local std::map<QByteArray, std::unique_ptr<Iconv>> cache;
    auto it = cache.find(name);
    if (it == cache.end()) {
        if (cache.size() >= 32)
            cache.clear();
        it = cache.emplace(name, std::make_unique<Iconv>(name)).first;
    }
    return it->second->valid() ? it->second.get() : nullptr;
}

bool isOneOf(const QByteArray &name, std::initializer_list<const char *> names)
{
    for (const char *n : names) {
        if (name == n)
            return true;
    }
    return false;
}

} // namespace

std::optional<QString> decodeCharset(QByteArrayView bytes, QByteArrayView charset, CharsetErrors errors)
{
    const QByteArray name = charset.toByteArray().toLower();
    if (!plausibleName(name))
        return std::nullopt;
    if (isOneOf(name, {"utf-8", "utf8", "us-ascii", "ascii"})) {
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString text = utf8.decode(bytes);
        if (utf8.hasError() && errors == CharsetErrors::Fail)
            return std::nullopt;
        return text;
    }
    if (isOneOf(name, {"shift_jis", "shift-jis", "sjis", "x-sjis", "windows-31j", "cp932",
                       "ms_kanji", "csshiftjis"})) {
        QString text = decodeCp932(bytes);
        if (errors == CharsetErrors::Fail && text.contains(QChar::ReplacementCharacter))
            return std::nullopt;
        return text;
    }
    Iconv *cv = converter(name);
    if (!cv)
        return std::nullopt;
    return cv->run(bytes, errors);
}

} // namespace lum
