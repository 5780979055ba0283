#include "pop3/reply_reader.h"

#include <algorithm>
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

void ReplyReader::expect(Framing framing, qsizetype maxReply)
{
    expected_.push_back({framing, maxReply});
}

void ReplyReader::widen(qsizetype maxReply)
{
    for (Expectation &e : expected_)
        e.maxReply = std::max(e.maxReply, maxReply);
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
    skipping_ = false;
    collecting_ = false;
    expected_.clear();
    block_.clear();
    status_.clear();
}

// An over-long line is handed out as its first maxLineLength bytes at once; the rest of it
// is dropped as it arrives, up to its line end.
bool ReplyReader::takeLine(QByteArrayView &line)
{
    for (;;) {
        const qsizetype from = std::max(scan_, pos_);
        const char *base = buffer_.constData();
        const void *lf = from < buffer_.size()
            ? std::memchr(base + from, '\n', size_t(buffer_.size() - from))
            : nullptr;
        if (!lf) {
            scan_ = buffer_.size();
            if (skipping_) {
                pos_ = scan_;
                return false;
            }
            if (buffer_.size() - pos_ <= maxLineLength)
                return false;
            line = QByteArrayView(base + pos_, maxLineLength);
            pos_ = scan_;
            skipping_ = true;
            return true;
        }
        const qsizetype end = static_cast<const char *>(lf) - base;
        if (skipping_) {
            skipping_ = false;
            pos_ = scan_ = end + 1;
            continue;
        }
        qsizetype lineEnd = end;
        if (lineEnd > pos_ && base[lineEnd - 1] == '\r')
            --lineEnd;
        line = QByteArrayView(base + pos_, std::min(lineEnd - pos_, maxLineLength));
        pos_ = end + 1;
        scan_ = pos_;
        return true;
    }
}

// The peer is misbehaving: the connection is to be dropped.
ReplyReader::Result ReplyReader::tooLarge()
{
    broken_ = true;
    buffer_.clear();
    pos_ = scan_ = 0;
    block_.clear();
    return Result::TooLarge;
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

// Data lines that go into the block unchanged (ended by CR LF, not starting with ".", not
// over-long) are copied as they lie, as many at once as there are in a row; the line that
// ends such a run is left to takeLine. False when the block grew beyond its bound.
bool ReplyReader::takePlainLines()
{
    const char *base = buffer_.constData();
    const qsizetype size = buffer_.size();
    qsizetype end = pos_;
    qsizetype from = std::max(scan_, pos_);
    qsizetype total = block_.size();
    const qsizetype maxReply = expected_.front().maxReply;
    bool fits = true;
    while (end < size && base[end] != '.') {
        const void *lf = std::memchr(base + from, '\n', size_t(size - from));
        if (!lf) {
            scan_ = size;
            break;
        }
        const qsizetype at = static_cast<const char *>(lf) - base;
        if (at == end || base[at - 1] != '\r' || at - 1 - end > maxLineLength)
            break;
        ++progress_;
        total += at + 1 - end;
        end = from = at + 1;
        if (total > maxReply) {
            fits = false;
            break;
        }
    }
    block_.append(base + pos_, end - pos_);
    pos_ = end;
    scan_ = std::max(scan_, pos_);
    return fits;
}

ReplyReader::Result ReplyReader::next(Reply &out)
{
    if (broken_)
        return Result::TooLarge;
    Result result = Result::NeedData;
    QByteArrayView line;
    while (result == Result::NeedData) {
        if (collecting_ && !skipping_ && !takePlainLines())
            return tooLarge();
        if (!takeLine(line))
            break;
        if (!collecting_) {
            out.challenge = !expected_.empty() && expected_.front().framing == Framing::Sasl
                && line.startsWith('+') && (line.size() == 1 || line[1] == ' ');
            if (out.challenge) {
                ++progress_;
                out.positive = false;
                out.status = line.toByteArray() + "\r\n";
                out.block.clear();
                result = Result::Reply;
                continue;
            }
            const StatusClass c = classifyStatus(line);
            if (c == StatusClass::Other)
                continue;
            ++progress_;
            status_ = line.toByteArray() + "\r\n";
            if (c == StatusClass::Positive && !expected_.empty()
                && expected_.front().framing == Framing::MultiLine) {
                collecting_ = true;
                block_ = status_;
                continue;
            }
            out.positive = c == StatusClass::Positive;
            out.status = std::move(status_);
            out.block.clear();
            result = Result::Reply;
            continue;
        }
        ++progress_;
        if (line.size() == 1 && line[0] == '.') {
            block_.append(".\r\n");
            collecting_ = false;
            out.positive = true;
            out.status = std::move(status_);
            out.block = std::move(block_);
            result = Result::Reply;
            continue;
        }
        if (!line.isEmpty() && line[0] == '.')
            line = line.sliced(1);
        block_.append(line.data(), line.size());
        block_.append("\r\n", 2);
        if (block_.size() > expected_.front().maxReply)
            return tooLarge();
    }
    if (result == Result::Reply && !expected_.empty())
        expected_.pop_front();
    compact();
    return result;
}

} // namespace lum
