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
// - A line longer than maxLineLength keeps its first maxLineLength bytes; the rest of it is
//   dropped, and the reply goes on. A multi-line reply larger than its bound stops the
//   reader for good: the peer is misbehaving and the connection is to be dropped. So the
//   memory a server can make us hold is bounded whatever it sends.

#include <QByteArray>
#include <QByteArrayView>
#include <deque>

namespace lum {

class ReplyReader {
public:
    static constexpr qsizetype maxLineLength = 512 * 1024;
    // Bounds of a multi-line reply: a header block with five body lines (TOP), and a whole
    // message (RETR), both far beyond real mail.
    static constexpr qsizetype maxHeaderReply = 16 * 1024 * 1024;
    static constexpr qsizetype maxMessageReply = 512 * 1024 * 1024;

    // Sasl: a status line, or a server challenge "+ base64" (RFC 5034 §4) during AUTH.
    enum class Framing { StatusLine, MultiLine, Sasl };
    enum class Result { NeedData, Reply, TooLarge };

    struct Reply {
        bool positive = false;
        bool challenge = false; // "+ ..." to AUTH; status holds it, positive is false
        QByteArray status; // the status line as received, with its line end
        // MultiLine and positive: the status line, the unstuffed data lines and ".\r\n".
        QByteArray block;
    };

    // How a reply is framed; set before sending the command it answers. Commands may be
    // sent before earlier ones are answered (pipelining, RFC 2449): their replies come in
    // the order sent, each framed as expected when its command went out. A reply nothing
    // was expected for (the greeting) is a status line. maxReply bounds the block of a
    // MultiLine reply.
    void expect(Framing framing, qsizetype maxReply = maxHeaderReply);
    // Raises the bound of every reply still awaited to at least maxReply: what an earlier
    // reply said may show that a later one is larger than thought when it was asked for.
    void widen(qsizetype maxReply);
    void feed(QByteArrayView bytes);
    // Hands out the next complete reply.
    Result next(Reply &out);
    // Drops everything: a new connection.
    void reset();

    qsizetype bufferedBytes() const { return buffer_.size() - pos_; }
    // Replies expected and not yet handed out.
    qsizetype awaited() const { return qsizetype(expected_.size()); }
    // Counts the steps of the dialogue taken so far: complete status lines, and data lines
    // of a multi-line reply. Lines that are neither (noise) don't count.
    quint64 progress() const { return progress_; }

private:
    // The next complete line starting at pos_, without its line end; false when none.
    bool takeLine(QByteArrayView &line);
    bool takePlainLines();
    Result tooLarge();
    void compact();

    QByteArray buffer_;
    qsizetype pos_ = 0;  // first byte not yet consumed
    qsizetype scan_ = 0; // bytes before this offset are known to hold no LF past pos_
    struct Expectation {
        Framing framing;
        qsizetype maxReply;
    };
    std::deque<Expectation> expected_;
    bool collecting_ = false;
    bool broken_ = false;
    bool skipping_ = false; // dropping the rest of an over-long line
    quint64 progress_ = 0;
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
