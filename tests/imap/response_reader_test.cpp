#include "imap/response_reader.h"

#include <QList>

#include <gtest/gtest.h>

namespace lum {
namespace {

using Result = ImapReader::Result;
using Kind = ImapValue::Kind;

// One line per value: atoms bare, numbers as #n, strings quoted (NUL as \0), lists in parens.
QByteArray show(const ImapValue &v)
{
    switch (v.kind) {
    case Kind::Atom: return v.text;
    case Kind::Number: return '#' + QByteArray::number(v.number);
    case Kind::String: return '"' + QByteArray(v.text).replace('\0', "\\0") + '"';
    case Kind::Nil: return "NIL";
    case Kind::List: break;
    }
    QByteArrayList items;
    for (const ImapValue &item : v.items)
        items.append(show(item));
    return '(' + items.join(' ') + ')';
}

QByteArray show(const ImapResponse &r)
{
    static const char *const statuses[] = {"OK", "NO", "BAD", "PREAUTH", "BYE"};
    QByteArrayList parts;
    if (r.kind == ImapResponse::Kind::Continuation)
        parts.append("+");
    else
        parts.append(r.kind == ImapResponse::Kind::Tagged ? r.tag : "*");
    if (r.kind == ImapResponse::Kind::Tagged || r.kind == ImapResponse::Kind::Status) {
        parts.append(statuses[int(r.status)]);
        QByteArray code = r.code;
        for (const ImapValue &arg : r.codeArgs)
            code += ' ' + show(arg);
        if (!code.isEmpty())
            parts.append('[' + code + ']');
    }
    if (r.number)
        parts.append('#' + QByteArray::number(*r.number));
    if (r.kind == ImapResponse::Kind::Data)
        parts.append(r.name);
    for (const ImapValue &v : r.values)
        parts.append(show(v));
    if (!r.text.isEmpty())
        parts.append(r.text);
    return parts.join(' ');
}

struct Read {
    QByteArrayList responses;
    Result last = Result::NeedData;
    QByteArrayList raws;
};

Read run(const QList<QByteArray> &chunks, const ImapReader::Limits &limits = {})
{
    ImapReader reader;
    reader.setLimits(limits);
    Read got;
    for (const QByteArray &chunk : chunks) {
        reader.feed(chunk);
        ImapResponse r;
        while ((got.last = reader.next(r)) == Result::Response) {
            got.responses.append(show(r));
            got.raws.append(r.raw);
        }
        if (got.last != Result::NeedData)
            break;
    }
    return got;
}

struct ShapeCase {
    const char *name;
    QByteArray input;
    QByteArray shown; // responses joined by " | "
    Result last = Result::NeedData;
};

class Shapes : public testing::TestWithParam<ShapeCase> {};

TEST_P(Shapes, ReadAsValues)
{
    const Read got = run({GetParam().input});
    EXPECT_EQ(got.responses.join(" | "), GetParam().shown);
    EXPECT_EQ(got.last, GetParam().last);
}

INSTANTIATE_TEST_SUITE_P(
    ImapReader, Shapes,
    testing::Values(
        ShapeCase{"tagged_ok_with_code", "a1 OK [UIDVALIDITY 3857529045] EXAMINE completed\r\n",
                  "a1 OK [UIDVALIDITY #3857529045] EXAMINE completed"},
        ShapeCase{"tagged_no_bare_code", "a2 NO [TRYCREATE] no mailbox\r\n", "a2 NO [TRYCREATE] no mailbox"},
        ShapeCase{"tagged_bad_lower_case", "a3 bad what?\r\n", "a3 BAD what?"},
        ShapeCase{"tagged_ok_no_text", "A001 OK\r\n", "A001 OK"},
        ShapeCase{"capability_code", "* OK [CAPABILITY IMAP4rev1 LITERAL+ AUTH=PLAIN] ready\r\n",
                  "* OK [CAPABILITY IMAP4rev1 LITERAL+ AUTH=PLAIN] ready"},
        ShapeCase{"code_with_list", "* OK [PERMANENTFLAGS (\\Deleted \\*)] Limited\r\n",
                  "* OK [PERMANENTFLAGS (\\Deleted \\*)] Limited"},
        ShapeCase{"code_not_values_kept_as_text", "* NO [REFERRAL \"imap://x] y\r\n", "* NO [REFERRAL \"imap://x] y"},
        ShapeCase{"unclosed_code_is_text", "* OK [ALERT oops\r\n", "* OK [ALERT oops"},
        ShapeCase{"preauth_and_bye", "* PREAUTH hi\r\n* BYE [ALERT] down\r\n", "* PREAUTH hi | * BYE [ALERT] down"},
        ShapeCase{"literal_header_in_status_text_is_text", "a1 OK done {5}\r\n* 1 RECENT\r\n",
                  "a1 OK done {5} | * #1 RECENT"},
        ShapeCase{"capability_data", "* capability IMAP4rev1 UIDPLUS\r\n", "* CAPABILITY IMAP4rev1 UIDPLUS"},
        ShapeCase{"numbered_data", "* 23 EXISTS\r\n* 5 expunge\n* 18446744073709551615 RECENT\r\n",
                  "* #23 EXISTS | * #5 EXPUNGE | * #18446744073709551615 RECENT"},
        ShapeCase{"search_and_empty_search", "* SEARCH 1 5 9\r\n\r\n* SEARCH\r\n", "* SEARCH #1 #5 #9 | * SEARCH"},
        ShapeCase{"esearch", "* ESEARCH (TAG \"a5\") UID ALL 1:3,7\r\n", "* ESEARCH (TAG \"a5\") UID ALL 1:3,7"},
        ShapeCase{"flags", "* FLAGS (\\Answered \\Seen $Forwarded)\r\n", "* FLAGS (\\Answered \\Seen $Forwarded)"},
        ShapeCase{"fetch_with_section_and_literal",
                  "* 7 FETCH (UID 9 FLAGS (\\Seen) BODY[HEADER.FIELDS (FROM SUBJECT)] {9}\r\nFrom: a\r\n)\r\n",
                  "* #7 FETCH (UID #9 FLAGS (\\Seen) BODY[HEADER.FIELDS (FROM SUBJECT)] \"From: a\r\n\")"},
        ShapeCase{"partial_body_and_binary_literal",
                  QByteArray("* 3 FETCH (BODY[]<0> {2}\r\nab BINARY[1] ~{3}\r\na\0b)\r\n", 51),
                  "* #3 FETCH (BODY[]<0> \"ab\" BINARY[1] \"a\\0b\")"},
        ShapeCase{"list_quoted_and_atom_names", "* LIST (\\HasNoChildren) \"/\" INBOX\r\n* LIST () \"/\" a]b\r\n",
                  "* LIST (\\HasNoChildren) \"/\" INBOX | * LIST () \"/\" a]b"},
        ShapeCase{"list_literal_name_nil_delimiter", "* LIST () nil {5}\r\na b c\r\n", "* LIST () NIL \"a b c\""},
        ShapeCase{"quoted_escapes", "* LIST () \"\\\\\" \"a\\\"b\"\r\n", "* LIST () \"\\\" \"a\"b\""},
        ShapeCase{"literals_in_envelope", "* 1 FETCH (ENVELOPE (NIL {3}\r\nabc ((\"x\" NiL {1}\r\nb \"c\")) {0}\r\n))\r\n",
                  "* #1 FETCH (ENVELOPE (NIL \"abc\" ((\"x\" NIL \"b\" \"c\")) \"\"))"},
        ShapeCase{"continuations", "+ UGFzcw==\r\n+\r\n+ \r\n", "+ UGFzcw== | + | +"},
        ShapeCase{"incomplete_waits", "* 1 FETCH (BODY[] {5}\r\nab", ""},
        ShapeCase{"number_overflow", "* 18446744073709551616 EXISTS\r\n", "", Result::Malformed},
        ShapeCase{"value_overflow", "* SEARCH 1 18446744073709551616\r\n", "", Result::Malformed},
        ShapeCase{"unterminated_quoted", "* LIST () \"/ INBOX\r\n", "", Result::Malformed},
        ShapeCase{"nul_outside_literal", QByteArray("* OK a\0b\r\n", 10), "", Result::Malformed},
        ShapeCase{"literal_header_mid_line", "* 1 FETCH (BODY[] {5} x)\r\n", "", Result::Malformed},
        ShapeCase{"literal_header_not_digits", "* 1 FETCH (BODY[] {x})\r\n", "", Result::Malformed},
        ShapeCase{"literal_size_overflow", "* 1 FETCH (BODY[] {99999999999999999999}\r\n", "", Result::Malformed},
        ShapeCase{"unclosed_list", "* 1 FETCH (UID 1\r\n", "", Result::Malformed},
        ShapeCase{"stray_close", "* 1 FETCH UID 1)\r\n", "", Result::Malformed},
        ShapeCase{"unclosed_section", "* 1 FETCH (BODY[HEADER 1)\r\n", "", Result::Malformed},
        ShapeCase{"tagged_unknown_status", "a1 HELLO\r\n", "", Result::Malformed},
        ShapeCase{"number_without_name", "* 5\r\n", "", Result::Malformed},
        ShapeCase{"malformed_stops_for_good", "*\r\n* 1 EXISTS\r\n", "", Result::Malformed}),
    [](const auto &info) { return std::string(info.param.name); });

// Every cut into two, and byte by byte, gives what the whole input gives (after h11's
// chunk boundary tests).
TEST(ImapReader, SplitAtEveryByteGivesSameResponses)
{
    const QByteArray input = "* 7 FETCH (UID 9 BODY[HEADER.FIELDS (FROM)] {9}\r\nFrom: a\r\n ENVELOPE (\"x\\\"\" {2}\r\n"
                             "\r\n))\r\n\r\na1 OK [UIDNEXT 10] done\n+ go\r\n";
    const Read whole = run({input});
    ASSERT_EQ(whole.responses.size(), 3);
    EXPECT_EQ(whole.raws[0], input.first(input.indexOf("a1 OK") - 2));
    for (qsizetype cut = 0; cut <= input.size(); ++cut)
        EXPECT_EQ(run({input.first(cut), input.sliced(cut)}).responses, whole.responses) << "cut at " << cut;
    QList<QByteArray> bytes;
    for (char ch : input)
        bytes.append(QByteArray(1, ch));
    EXPECT_EQ(run(bytes).responses, whole.responses);
}

ImapReader::Limits bounds(qsizetype line, qsizetype literal, qsizetype literals, int depth, qsizetype values)
{
    return ImapReader::Limits{line, literal, literals, depth, values};
}

struct BoundCase {
    const char *name;
    ImapReader::Limits limits;
    QByteArray input;
    Result last;
};

class Bounds : public testing::TestWithParam<BoundCase> {};

TEST_P(Bounds, HoldJustUnderAndStopJustOver)
{
    EXPECT_EQ(run({GetParam().input}, GetParam().limits).last, GetParam().last);
}

const ImapReader::Limits wide = bounds(1000, 1000, 1000, 10, 1000);

INSTANTIATE_TEST_SUITE_P(
    ImapReader, Bounds,
    testing::Values(
        BoundCase{"line_at_bound", bounds(16, 1, 1, 1, 9), "* SEARCH 1 2 345\r\n", Result::NeedData},
        BoundCase{"line_over_bound", bounds(16, 1, 1, 1, 9), "* SEARCH 1 2 3456\r\n", Result::TooLarge},
        BoundCase{"line_over_bound_before_its_end", bounds(16, 1, 1, 1, 9), "* SEARCH 1 2 3 4 5 6", Result::TooLarge},
        BoundCase{"lines_of_one_response_add_up", bounds(16, 9, 9, 1, 9), "* 1 FETCH (A {1}\r\nx B)\r\n",
                  Result::TooLarge},
        BoundCase{"literal_at_bound", bounds(99, 4, 4, 1, 9), "* 1 FETCH (A {4}\r\nabcd)\r\n", Result::NeedData},
        BoundCase{"literal_over_bound_before_its_bytes", bounds(99, 4, 9, 1, 9), "* 1 FETCH (A {5}\r\n",
                  Result::TooLarge},
        BoundCase{"literals_at_bound", bounds(99, 4, 7, 1, 9), "* 1 FETCH (A {4}\r\nabcd B {3}\r\nabc)\r\n",
                  Result::NeedData},
        BoundCase{"literals_over_bound", bounds(99, 4, 7, 1, 9), "* 1 FETCH (A {4}\r\nabcd B {4}\r\n",
                  Result::TooLarge},
        BoundCase{"depth_at_bound", bounds(99, 1, 1, 2, 9), "* X ((a)) ((b))\r\n", Result::NeedData},
        BoundCase{"depth_over_bound", bounds(99, 1, 1, 2, 9), "* X (((a)))\r\n", Result::TooLarge},
        BoundCase{"code_depth_over_bound", bounds(99, 1, 1, 1, 9), "* OK [X ((a))] t\r\n", Result::TooLarge},
        BoundCase{"values_at_bound", bounds(99, 1, 1, 1, 4), "* X (1 2) 3\r\n", Result::NeedData},
        BoundCase{"values_over_bound", bounds(99, 1, 1, 1, 4), "* X (1 2) 3 4\r\n", Result::TooLarge}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(ImapReader, StopsForGoodUntilReset)
{
    ImapReader reader;
    reader.setLimits(bounds(8, 1, 1, 1, 9));
    reader.feed("* 1 EXISTS EXISTS\r\n");
    ImapResponse r;
    EXPECT_EQ(reader.next(r), Result::TooLarge);
    reader.feed("* 1 EXISTS\r\n");
    EXPECT_EQ(reader.next(r), Result::TooLarge);
    reader.reset();
    reader.feed("* 1 X\r\n");
    EXPECT_EQ(reader.next(r), Result::Response);
}

TEST(ImapReader, RawKeepsShortLiteralsAndFetchItemsAreFound)
{
    ImapReader reader;
    reader.setLiteralLimit(4096);
    const QByteArray big(ImapReader::rawLiteralKept + 1, 'x');
    reader.feed("* 2 FETCH (uid 9 BODY[HEADER.FIELDS (FROM)] {2}\r\nab BODY[] {" + QByteArray::number(big.size())
                + "}\r\n" + big + ")\r\n");
    ImapResponse r;
    ASSERT_EQ(reader.next(r), Result::Response);
    EXPECT_EQ(r.raw, "* 2 FETCH (uid 9 BODY[HEADER.FIELDS (FROM)] {2}\r\nab BODY[] {1025}\r\n)\r\n");
    ASSERT_EQ(r.values.size(), 1);
    EXPECT_EQ(r.values[0].item("UID")->number, 9);
    EXPECT_EQ(r.values[0].itemWithPrefix("BODY[HEADER")->text, "ab");
    EXPECT_EQ(r.values[0].item("BODY[]")->text, big);
    EXPECT_EQ(r.values[0].item("FLAGS"), nullptr);
}

} // namespace
} // namespace lum
