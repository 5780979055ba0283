#pragma once
// Framing of POP3 replies (RFC 1939 §3): a reply is a status line, or for TOP and RETR a
// status line followed by data lines up to a line holding a lone ".". Bytes are fed in as
// they arrive, in chunks of any size; a reply is handed out only when it is complete.
//
// - A status line is classified by its first four bytes, upper-cased: "+OK" anywhere in
//   them is positive, else "-ERR" is negative. A complete line that is neither (noise
//   before a greeting, say) is skipped.
// - Data lines lose one leading "." when they start with "." (byte-stuffing), and end in
//   CR LF in the handed-out block whether the server sent CR LF or a bare LF.
// - The line end is searched only in bytes not looked at before, so collecting a reply
//   costs time linear in its size however it is split.
// - A line longer than maxLineLength without a line end stops the reader for good: the
//   peer is misbehaving and the connection is to be dropped.

#include <QByteArray>
#include <QByteArrayView>

namespace lum {

class ReplyReader {
public:
    static constexpr qsizetype maxLineLength = 512 * 1024;

    enum class Framing { StatusLine, MultiLine };
    enum class Result { NeedData, Reply, LineTooLong };

    struct Reply {
        bool positive = false;
        QByteArray status; // the status line as received, with its line end
        // MultiLine and positive: the status line, the unstuffed data lines and ".\r\n".
        QByteArray block;
    };

    // How the next reply is framed; set before sending the command it answers.
    void expect(Framing framing);
    void feed(QByteArrayView bytes);
    // Hands out the next complete reply. After a reply the framing is StatusLine again.
    Result next(Reply &out);
    // Drops everything: a new connection.
    void reset();

    qsizetype bufferedBytes() const { return buffer_.size() - pos_; }

private:
    // The next complete line starting at pos_, without its line end; false when none.
    bool takeLine(QByteArrayView &line);
    void compact();

    QByteArray buffer_;
    qsizetype pos_ = 0;  // first byte not yet consumed
    qsizetype scan_ = 0; // bytes before this offset are known to hold no LF past pos_
    Framing framing_ = Framing::StatusLine;
    bool collecting_ = false;
    bool broken_ = false;
    QByteArray block_;
    QByteArray status_;
};

// Every NUL byte of a collected reply becomes CR LF: the decoders work on C-style text
// and would otherwise lose everything behind a NUL.
void replaceNul(QByteArray &block);

// Positive, negative or neither, by the first four bytes upper-cased.
enum class StatusClass { Positive, Negative, Other };
StatusClass classifyStatus(QByteArrayView line);

} // namespace lum
