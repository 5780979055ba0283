#include "imap/response_parser.h"

#include <algorithm>
#include <limits>
#include <optional>

namespace lum {

namespace {

using Result = ImapReader::Result;
using Status = ImapResponse::Status;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The value of a run of digits; null when it is empty, holds anything else or overflows
// 64 bits.
std::optional<quint64> number(QByteArrayView digits)
{
    if (digits.isEmpty())
        return std::nullopt;
    quint64 n = 0;
    for (char c : digits) {
        if (!isDigit(c))
            return std::nullopt;
        const quint64 d = quint64(c - '0');
        if (n > (std::numeric_limits<quint64>::max() - d) / 10)
            return std::nullopt;
        n = n * 10 + d;
    }
    return n;
}

bool allDigits(QByteArrayView text)
{
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), isDigit);
}

// The status of a tagged (OK, NO, BAD) or untagged (also PREAUTH, BYE) status response.
std::optional<Status> statusWord(QByteArrayView word, bool tagged)
{
    const QByteArray w = word.toByteArray().toUpper();
    if (w == "OK")
        return Status::Ok;
    if (w == "NO")
        return Status::No;
    if (w == "BAD")
        return Status::Bad;
    if (!tagged && w == "PREAUTH")
        return Status::Preauth;
    if (!tagged && w == "BYE")
        return Status::Bye;
    return std::nullopt;
}

// A word of the first line: up to a space, "(" or "[".
qsizetype wordEnd(QByteArrayView line, qsizetype from)
{
    while (from < line.size() && line[from] != ' ' && line[from] != '(' && line[from] != '[')
        ++from;
    return from;
}

// Walks the lines of one response, token by token (RFC 3501 §9).
class Parser {
public:
    Parser(const std::vector<QByteArray> &lines, std::vector<QByteArray> &literals, const ImapReader::Limits &limits)
        : lines_(lines), literals_(literals), limits_(limits)
    {
    }

    Result parse(ImapResponse &out);

private:
    QByteArrayView line() const { return lines_[seg_]; }
    bool atLineEnd() const { return pos_ >= line().size(); }
    void skipSpaces()
    {
        while (!atLineEnd() && line()[pos_] == ' ')
            ++pos_;
    }
    Result values(std::vector<ImapValue> &out, bool inCode);
    Result scalar(ImapValue &v, bool inCode);
    Result quoted(ImapValue &v);
    Result literal(ImapValue &v);
    Result atom(ImapValue &v, bool inCode);
    Result statusText(ImapResponse &out);

    const std::vector<QByteArray> &lines_;
    std::vector<QByteArray> &literals_;
    const ImapReader::Limits &limits_;
    size_t seg_ = 0; // the line being read
    size_t lit_ = 0; // the next literal
    qsizetype pos_ = 0;
    qsizetype count_ = 0; // values so far
};

// Values up to the end of the response, or in a response code up to its "]". Lists are
// kept on a stack of their own, so a deep nesting costs no call depth.
Result Parser::values(std::vector<ImapValue> &out, bool inCode)
{
    std::vector<std::vector<ImapValue> *> open{&out};
    for (;;) {
        skipSpaces();
        if (atLineEnd()) {
            // A line ends inside a response only at a literal, which scalar() steps over.
            const bool last = seg_ + 1 == lines_.size();
            return last && !inCode && open.size() == 1 ? Result::Response : Result::Malformed;
        }
        const char c = line()[pos_];
        if (c == ')' || (inCode && c == ']')) {
            ++pos_;
            if (c == ']' && open.size() == 1)
                return Result::Response;
            if (c == ']' || open.size() == 1)
                return Result::Malformed;
            open.pop_back();
            continue;
        }
        if (++count_ > limits_.values)
            return Result::TooLarge;
        if (c == '(') {
            if (qsizetype(open.size()) > limits_.depth)
                return Result::TooLarge;
            ++pos_;
            ImapValue list;
            list.kind = ImapValue::Kind::List;
            open.back()->push_back(std::move(list));
            open.push_back(&open.back()->back().items);
            continue;
        }
        ImapValue v;
        if (const Result r = scalar(v, inCode); r != Result::Response)
            return r;
        open.back()->push_back(std::move(v));
    }
}

Result Parser::scalar(ImapValue &v, bool inCode)
{
    const QByteArrayView l = line();
    if (l[pos_] == '"')
        return quoted(v);
    if (l[pos_] == '{' || (l[pos_] == '~' && pos_ + 1 < l.size() && l[pos_ + 1] == '{'))
        return literal(v);
    return atom(v, inCode);
}

// A quoted string (RFC 3501 §4.3): "\" takes the next byte as it is.
Result Parser::quoted(ImapValue &v)
{
    const QByteArrayView l = line();
    v.kind = ImapValue::Kind::String;
    for (qsizetype i = pos_ + 1; i < l.size(); ++i) {
        if (l[i] == '"') {
            pos_ = i + 1;
            return Result::Response;
        }
        if (l[i] == '\\' && ++i == l.size())
            break;
        v.text.append(l[i]);
    }
    return Result::Malformed; // no closing quote on the line
}

// "{n}" or "~{n}" ends its line, and the literal the reader took after it is the string.
Result Parser::literal(ImapValue &v)
{
    const QByteArrayView l = line();
    const qsizetype open = l[pos_] == '~' ? pos_ + 1 : pos_;
    if (!l.endsWith('}') || seg_ + 1 >= lines_.size() || lit_ >= literals_.size()
        || !number(l.sliced(open + 1, l.size() - open - 2)))
        return Result::Malformed;
    v.kind = ImapValue::Kind::String;
    v.text = std::move(literals_[lit_++]);
    ++seg_;
    pos_ = 0;
    return Result::Response;
}

// An atom, a number or NIL. Beyond atom-char (RFC 3501 §9) it takes "\" (flags), "]"
// outside response codes (astring-char), and a "[...]" section whole, spaces and parens
// included (BODY[HEADER.FIELDS (FROM)]<0>).
Result Parser::atom(ImapValue &v, bool inCode)
{
    const QByteArrayView l = line();
    const qsizetype start = pos_;
    while (pos_ < l.size()) {
        const char c = l[pos_];
        if (c == ' ' || c == '(' || c == ')' || c == '"' || c == '{' || (inCode && c == ']'))
            break;
        if (c == '[') {
            const qsizetype close = l.indexOf(']', pos_);
            if (close < 0)
                return Result::Malformed;
            pos_ = close;
        }
        ++pos_;
    }
    v.text = l.sliced(start, pos_ - start).toByteArray();
    if (v.text.isEmpty())
        return Result::Malformed;
    if (allDigits(v.text)) {
        const std::optional<quint64> n = number(v.text);
        if (!n)
            return Result::Malformed;
        v.kind = ImapValue::Kind::Number;
        v.number = *n;
    } else if (v.text.compare("NIL", Qt::CaseInsensitive) == 0) {
        v.kind = ImapValue::Kind::Nil;
        v.text.clear();
    } else {
        v.kind = ImapValue::Kind::Atom;
    }
    return Result::Response;
}

// The rest of a status response after its status word: an optional "[code args]" and the
// text (RFC 3501 §7.1). A code whose arguments are no values keeps their text as one atom;
// a "[" without "]" is text.
Result Parser::statusText(ImapResponse &out)
{
    skipSpaces();
    const QByteArrayView l = line();
    if (!atLineEnd() && l[pos_] == '[') {
        const qsizetype close = l.indexOf(']', pos_);
        qsizetype nameEnd = pos_ + 1;
        while (nameEnd < l.size() && l[nameEnd] != ' ' && l[nameEnd] != ']')
            ++nameEnd;
        if (close > pos_ + 1 && nameEnd <= close) {
            out.code = l.sliced(pos_ + 1, nameEnd - pos_ - 1).toByteArray().toUpper();
            pos_ = nameEnd;
            if (l[nameEnd] == ']') {
                ++pos_;
            } else {
                const Result r = values(out.codeArgs, true);
                if (r == Result::TooLarge)
                    return r;
                if (r == Result::Malformed) {
                    ImapValue text;
                    text.kind = ImapValue::Kind::Atom;
                    text.text = l.sliced(nameEnd + 1, close - nameEnd - 1).toByteArray();
                    out.codeArgs.assign(1, text);
                    pos_ = close + 1;
                }
            }
            if (!atLineEnd() && l[pos_] == ' ')
                ++pos_;
        }
    }
    out.text = l.sliced(pos_).toByteArray();
    return Result::Response;
}

Result Parser::parse(ImapResponse &out)
{
    out = ImapResponse();
    const QByteArrayView l = line();
    if (l.startsWith('+')) {
        out.kind = ImapResponse::Kind::Continuation;
        out.text = l.sliced(l.startsWith("+ ") ? 2 : 1).toByteArray();
        return Result::Response;
    }
    const qsizetype tagEnd = l.indexOf(' ');
    if (tagEnd <= 0)
        return Result::Malformed;
    const bool tagged = l.first(tagEnd) != "*";
    pos_ = tagEnd + 1;
    qsizetype end = wordEnd(l, pos_);
    if (const std::optional<Status> status = statusWord(l.sliced(pos_, end - pos_), tagged)) {
        out.kind = tagged ? ImapResponse::Kind::Tagged : ImapResponse::Kind::Status;
        if (tagged)
            out.tag = l.first(tagEnd).toByteArray();
        out.status = *status;
        pos_ = end;
        return statusText(out);
    }
    if (tagged)
        return Result::Malformed;
    out.kind = ImapResponse::Kind::Data;
    if (allDigits(l.sliced(pos_, end - pos_))) {
        out.number = number(l.sliced(pos_, end - pos_));
        if (!out.number || end == l.size() || l[end] != ' ')
            return Result::Malformed;
        pos_ = end + 1;
        end = wordEnd(l, pos_);
    }
    out.name = l.sliced(pos_, end - pos_).toByteArray().toUpper();
    if (out.name.isEmpty())
        return Result::Malformed;
    pos_ = end;
    return values(out.values, false);
}

} // namespace

bool isOneLineResponse(QByteArrayView firstLine)
{
    if (firstLine.startsWith('+'))
        return true;
    const qsizetype tagEnd = firstLine.indexOf(' ');
    if (tagEnd <= 0)
        return false;
    const qsizetype end = wordEnd(firstLine, tagEnd + 1);
    return statusWord(firstLine.sliced(tagEnd + 1, end - tagEnd - 1), firstLine.first(tagEnd) != "*").has_value();
}

ImapReader::Result parseResponse(const std::vector<QByteArray> &lines, std::vector<QByteArray> &literals,
                                 const ImapReader::Limits &limits, ImapResponse &out)
{
    return Parser(lines, literals, limits).parse(out);
}

} // namespace lum
