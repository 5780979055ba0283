#include "pop3/reply_reader.h"

#include <cstring>

namespace lum {

StatusClass classifyStatus(QByteArrayView line)
{
    QByteArray head = line.first(std::min<qsizetype>(4, line.size())).toByteArray().toUpper();
    if (head.contains("+OK"))
        return StatusClass::Positive;
    if (head.contains("-ERR"))
        return StatusClass::Negative;
    return StatusClass::Other;
}

void replaceNul(QByteArray &block)
{
    if (std::memchr(block.constData(), '\0', size_t(block.size())))
        block.replace('\0', QByteArrayView("\r\n"));
}

void ReplyReader::expect(Framing framing)
{
    framing_ = framing;
    collecting_ = false;
    block_.clear();
    status_.clear();
}

void ReplyReader::feed(QByteArrayView bytes)
{
    if (broken_ || bytes.isEmpty())
        return;
    buffer_.append(bytes.data(), bytes.size());
}

void ReplyReader::reset()
{
    buffer_.clear();
    pos_ = scan_ = 0;
    broken_ = false;
    expect(Framing::StatusLine);
}

bool ReplyReader::takeLine(QByteArrayView &line)
{
    const qsizetype from = std::max(scan_, pos_);
    const char *base = buffer_.constData();
    const void *lf = from < buffer_.size()
        ? std::memchr(base + from, '\n', size_t(buffer_.size() - from))
        : nullptr;
    if (!lf) {
        scan_ = buffer_.size();
        return false;
    }
    const qsizetype end = static_cast<const char *>(lf) - base;
    qsizetype lineEnd = end;
    if (lineEnd > pos_ && base[lineEnd - 1] == '\r')
        --lineEnd;
    line = QByteArrayView(base + pos_, lineEnd - pos_);
    pos_ = end + 1;
    scan_ = pos_;
    return true;
}

void ReplyReader::compact()
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

ReplyReader::Result ReplyReader::next(Reply &out)
{
    if (broken_)
        return Result::LineTooLong;
    Result result = Result::NeedData;
    QByteArrayView line;
    while (result == Result::NeedData && takeLine(line)) {
        if (!collecting_) {
            const StatusClass c = classifyStatus(line);
            if (c == StatusClass::Other)
                continue;
            status_ = line.toByteArray() + "\r\n";
            if (c == StatusClass::Positive && framing_ == Framing::MultiLine) {
                collecting_ = true;
                block_ = status_;
                continue;
            }
            out.positive = c == StatusClass::Positive;
            out.status = std::move(status_);
            out.block.clear();
            result = Result::Reply;
        } else if (line.size() == 1 && line[0] == '.') {
            block_.append(".\r\n");
            out.positive = true;
            out.status = std::move(status_);
            out.block = std::move(block_);
            result = Result::Reply;
        } else {
            if (!line.isEmpty() && line[0] == '.')
                line = line.sliced(1);
            block_.append(line.data(), line.size());
            block_.append("\r\n", 2);
        }
    }
    if (result == Result::Reply) {
        expect(Framing::StatusLine);
    } else if (buffer_.size() - pos_ > maxLineLength) {
        broken_ = true;
        buffer_.clear();
        pos_ = scan_ = 0;
        block_.clear();
        return Result::LineTooLong;
    }
    compact();
    return result;
}

} // namespace lum
