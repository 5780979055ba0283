#include "imap/response_reader.h"

#include "imap/response_parser.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace lum {

namespace {

bool equalsIgnoringCase(QByteArrayView a, QByteArrayView b)
{
    return a.size() == b.size() && a.compare(b, Qt::CaseInsensitive) == 0;
}

// The widest literal header looked for at a line end: "~{" 20 digits "}".
constexpr qsizetype maxLiteralDigits = 20;

} // namespace

bool ImapValue::isAtom(QByteArrayView name) const
{
    return kind == Kind::Atom && equalsIgnoringCase(text, name);
}

const ImapValue *ImapValue::item(QByteArrayView name) const
{
    for (size_t i = 0; i + 1 < items.size(); i += 2) {
        if (items[i].isAtom(name))
            return &items[i + 1];
    }
    return nullptr;
}

const ImapValue *ImapValue::itemWithPrefix(QByteArrayView prefix) const
{
    for (size_t i = 0; i + 1 < items.size(); i += 2) {
        const ImapValue &key = items[i];
        if (key.kind == Kind::Atom && key.text.size() >= prefix.size()
            && equalsIgnoringCase(QByteArrayView(key.text).first(prefix.size()), prefix))
            return &items[i + 1];
    }
    return nullptr;
}

void ImapReader::setLiteralLimit(qsizetype bytes)
{
    limits_.literal = bytes;
    limits_.literals = std::max(limits_.literals, bytes);
}

void ImapReader::feed(QByteArrayView bytes)
{
    if (stopped_ || bytes.isEmpty())
        return;
    buffer_.append(bytes.data(), bytes.size());
}

void ImapReader::reset()
{
    buffer_.clear();
    pos_ = scan_ = 0;
    stopped_.reset();
    lines_.clear();
    literals_.clear();
    lineBytes_ = literalBytes_ = 0;
    literalLeft_ = -1;
    literal_.clear();
    raw_.clear();
}

qsizetype ImapReader::bufferedBytes() const
{
    return buffer_.size() - pos_ + lineBytes_ + literalBytes_ - std::max<qsizetype>(literalLeft_, 0);
}

ImapReader::Result ImapReader::fail(Result why)
{
    reset();
    stopped_ = why;
    return why;
}

void ImapReader::compact()
{
    if (pos_ == buffer_.size()) {
        buffer_.clear();
        pos_ = scan_ = 0;
    } else if (pos_ > 64 * 1024 && pos_ > buffer_.size() / 2) {
        buffer_.remove(0, pos_);
        scan_ -= pos_;
        pos_ = 0;
    }
}

// Whether the line ends in "{n}" or "~{n}" (RFC 3501 §4.3, RFC 3516 §4.2); size is n. bad
// is set when it ends in "{digits}" whose number does not fit.
bool ImapReader::literalHeaderAtEnd(QByteArrayView line, qsizetype &size, bool &bad) const
{
    if (!line.endsWith('}'))
        return false;
    qsizetype open = line.size() - 2;
    const qsizetype stop = std::max<qsizetype>(0, line.size() - 2 - maxLiteralDigits);
    while (open >= stop && line[open] >= '0' && line[open] <= '9')
        --open;
    if (open < 0 || line[open] != '{' || open == line.size() - 2)
        return false;
    const QByteArrayView digits = line.sliced(open + 1, line.size() - open - 2);
    bool ok = false;
    const qulonglong n = digits.toULongLong(&ok);
    if (!ok || n > qulonglong(std::numeric_limits<qsizetype>::max())) {
        bad = true;
        return false;
    }
    size = qsizetype(n);
    return true;
}

// Gathers the lines and literals of the next response. Response when they are complete.
ImapReader::Result ImapReader::frame()
{
    for (;;) {
        if (literalLeft_ >= 0) {
            const qsizetype take = std::min(buffer_.size() - pos_, literalLeft_);
            literal_.append(buffer_.constData() + pos_, take);
            pos_ += take;
            literalLeft_ -= take;
            if (literalLeft_ > 0)
                return Result::NeedData;
            if (literal_.size() <= rawLiteralKept)
                raw_.append(literal_);
            literals_.push_back(std::move(literal_));
            literal_ = QByteArray();
            literalLeft_ = -1;
            scan_ = pos_;
        }
        const char *base = buffer_.constData();
        const qsizetype from = std::max(scan_, pos_);
        const void *lf = from < buffer_.size() ? std::memchr(base + from, '\n', size_t(buffer_.size() - from))
                                               : nullptr;
        if (!lf) {
            scan_ = buffer_.size();
            // One byte more than the bound may be a CR still waiting for its LF.
            if (lineBytes_ + (buffer_.size() - pos_) > limits_.line + 1)
                return Result::TooLarge;
            return Result::NeedData;
        }
        const qsizetype end = static_cast<const char *>(lf) - base;
        qsizetype lineEnd = end;
        if (lineEnd > pos_ && base[lineEnd - 1] == '\r')
            --lineEnd;
        const QByteArrayView line(base + pos_, lineEnd - pos_);
        pos_ = scan_ = end + 1;
        lineBytes_ += line.size();
        if (lineBytes_ > limits_.line)
            return Result::TooLarge;
        if (std::memchr(line.data(), '\0', size_t(line.size())))
            return Result::Malformed;
        if (line.isEmpty() && lines_.empty())
            continue; // a blank line between responses
        raw_.append(line.data(), line.size()).append("\r\n", 2);
        lines_.push_back(line.toByteArray());
        qsizetype size = 0;
        bool bad = false;
        if ((lines_.size() > 1 || !isOneLineResponse(line)) && literalHeaderAtEnd(line, size, bad)) {
            if (size > limits_.literal || size > limits_.literals - literalBytes_)
                return Result::TooLarge;
            literalBytes_ += size;
            literalLeft_ = size;
            continue;
        }
        return bad ? Result::Malformed : Result::Response;
    }
}

ImapReader::Result ImapReader::next(Response &out)
{
    if (stopped_)
        return *stopped_;
    Result result = frame();
    if (result == Result::Response) {
        result = parseResponse(lines_, literals_, limits_, out);
        if (result == Result::Response) {
            out.raw = std::move(raw_);
            raw_ = QByteArray();
            lines_.clear();
            literals_.clear();
            lineBytes_ = literalBytes_ = 0;
        }
    }
    if (result == Result::TooLarge || result == Result::Malformed)
        return fail(result);
    compact();
    return result;
}

} // namespace lum
