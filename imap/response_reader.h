#pragma once
// Reading of IMAP server responses (RFC 3501 §7, RFC 9051 §7), sans-IO: bytes are fed in
// as they arrive, in chunks of any size, and complete responses are handed out one by one
// as typed values. The reader does no I/O and knows nothing of sessions.
//
// - A response is a line, or for data holding literals ("{n}" CR LF and n bytes) several
//   lines joined by their literals. Line ends are searched only in bytes not looked at
//   before and literals are taken by count, so reading costs time linear in the input
//   however it is split.
// - Status responses ("tag OK ...", "* BYE ...") and continuations ("+ ...") are always
//   one line: a "{5}" at the end of their human text is text, not a literal.
// - Everything a server sends is bounded: the bytes of a response outside its literals,
//   each literal, all literals of a response, the nesting depth of lists and the number of
//   values. A response beyond a bound gives TooLarge, one that breaks the syntax gives
//   Malformed; both stop the reader for good, as the connection is to be dropped.
// - Accepted beyond the letter of the grammar, because real servers send it: lines ending
//   in a bare LF, blank lines (skipped), NIL in any case, atoms holding "\" and "[...]"
//   (a FETCH item such as BODY[HEADER.FIELDS (FROM SUBJECT)]<0> is one atom up to and
//   past its "]"), literals wherever a string may stand, "~{n}" binary literals, and NUL
//   bytes inside literals (they are message bytes). A NUL outside a literal is Malformed.

#include <QByteArray>
#include <QByteArrayView>

#include <optional>
#include <vector>

namespace lum {

// One value of a response: what RFC 3501 §4 calls atoms, numbers, strings, NIL and
// parenthesized lists.
struct ImapValue {
    // Number: a bare run of digits (text holds the digits, number their value).
    // String: a quoted string (unescaped) or a literal (its bytes as sent).
    enum class Kind { Atom, Number, String, Nil, List };
    Kind kind = Kind::Nil;
    QByteArray text; // Atom, Number, String
    quint64 number = 0; // Number
    std::vector<ImapValue> items; // List

    bool isNil() const { return kind == Kind::Nil; }
    bool isList() const { return kind == Kind::List; }
    bool isNumber() const { return kind == Kind::Number; }
    // An atom equal to name, ignoring ASCII case ("\Seen", "UID", "NIL" is not an atom).
    bool isAtom(QByteArrayView name) const;
    // Text of an atom, number or string (an astring or nstring); empty for NIL and lists.
    QByteArray string() const { return kind == Kind::List ? QByteArray() : text; }
    // In a list of name/value pairs (a FETCH item list, a STATUS list): the value after
    // the first atom equal to name ignoring case, or after the first atom starting with
    // prefix ("BODY[HEADER.FIELDS"). Null when there is none.
    const ImapValue *item(QByteArrayView name) const;
    const ImapValue *itemWithPrefix(QByteArrayView prefix) const;
};

struct ImapResponse {
    // Tagged: "A1 OK [code] text". Status: "* OK/NO/BAD/PREAUTH/BYE [code] text".
    // Data: any other untagged response ("* 23 EXISTS", "* 7 FETCH (...)", "* SEARCH 1 5").
    // Continuation: "+ text", a request for more of a command or a SASL challenge.
    enum class Kind { Tagged, Status, Data, Continuation };
    enum class Status { Ok, No, Bad, Preauth, Bye };

    Kind kind = Kind::Data;
    QByteArray tag; // Tagged
    Status status = Status::Ok; // Tagged, Status
    // Tagged and Status: the response code's name upper-cased ("UIDVALIDITY", "ALERT"),
    // empty when there is none, and its arguments ([UIDVALIDITY 3857529045] gives one
    // Number; [PERMANENTFLAGS (\Seen \*)] one List). Arguments that are not values are one
    // Atom holding their text up to the "]".
    QByteArray code;
    std::vector<ImapValue> codeArgs;
    // Tagged, Status and Continuation: the human-readable text (for a continuation to
    // AUTHENTICATE, the base64 challenge), without its line end.
    QByteArray text;
    // Data: the leading number of numbered data ("* 23 EXISTS", "* 7 FETCH"), the data's
    // name upper-cased ("EXISTS", "FETCH", "CAPABILITY", "SEARCH", "LIST") and the values
    // after the name ("* 7 FETCH (...)" gives one List; "* SEARCH" gives none).
    std::optional<quint64> number;
    QByteArray name;
    std::vector<ImapValue> values;
    // The response as received, for the protocol log: each line with CR LF, and each
    // literal's bytes when they are at most rawLiteralKept long (longer ones are left out,
    // their "{n}" header stays).
    QByteArray raw;
};

class ImapReader {
public:
    using Response = ImapResponse;
    enum class Result { NeedData, Response, TooLarge, Malformed };

    static constexpr qsizetype defaultLineLimit = 64 * 1024;
    static constexpr qsizetype defaultLiteralLimit = 1024 * 1024;
    static constexpr qsizetype defaultLiteralsLimit = 16 * 1024 * 1024;
    static constexpr int defaultDepthLimit = 32;
    static constexpr qsizetype defaultValueLimit = 1000000;
    static constexpr qsizetype rawLiteralKept = 1024;

    struct Limits {
        qsizetype line = defaultLineLimit; // bytes of one response outside its literals
        qsizetype literal = defaultLiteralLimit; // bytes of one literal
        qsizetype literals = defaultLiteralsLimit; // bytes of all literals of one response
        int depth = defaultDepthLimit; // nesting of lists (a response code's list counts)
        qsizetype values = defaultValueLimit; // values of one response, lists included
    };

    // Bounds apply to bytes read from now on, so a session raises them before sending the
    // command whose answer needs more: a UID SEARCH of a large mailbox (line), a whole
    // message fetched with BODY.PEEK[] (literal).
    void setLimits(const Limits &limits) { limits_ = limits; }
    const Limits &limits() const { return limits_; }
    void setLineLimit(qsizetype bytes) { limits_.line = bytes; }
    // Also raises the bound of all literals of a response to at least bytes.
    void setLiteralLimit(qsizetype bytes);

    void feed(QByteArrayView bytes);
    // Hands out the next complete response. After TooLarge or Malformed every call gives
    // the same again until reset().
    Result next(Response &out);
    // Drops everything: a new connection. The limits stay.
    void reset();

    // Bytes held for responses not yet handed out.
    qsizetype bufferedBytes() const;

private:
    Result frame();
    Result fail(Result why);
    bool literalHeaderAtEnd(QByteArrayView line, qsizetype &size, bool &bad) const;
    void compact();

    Limits limits_;
    QByteArray buffer_;
    qsizetype pos_ = 0; // first byte not yet consumed
    qsizetype scan_ = 0; // bytes from pos_ up to here hold no LF
    std::optional<Result> stopped_;
    // The response being framed: its lines so far, its literals, and the literal being read.
    std::vector<QByteArray> lines_;
    std::vector<QByteArray> literals_;
    qsizetype lineBytes_ = 0;
    qsizetype literalBytes_ = 0;
    qsizetype literalLeft_ = -1; // bytes of the current literal still to come; -1 when none
    QByteArray literal_;
    QByteArray raw_;
};

} // namespace lum
