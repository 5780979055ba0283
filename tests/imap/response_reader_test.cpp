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
    using K = ImapResponse::Kind;
    static const char *const statuses[] = {"OK", "NO", "BAD", "PREAUTH", "BYE"};
    QByteArrayList parts{r.kind == K::Continuation ? "+" : r.kind == K::Tagged ? r.tag : "*"};
    if (r.kind == K::Tagged || r.kind == K::Status)
        parts.append(statuses[int(r.status)]);
    QByteArray code = r.code;
    for (const ImapValue &arg : r.codeArgs)
        code += ' ' + show(arg);
    if (!code.isEmpty())
        parts.append('[' + code + ']');
    if (r.number)
        parts.append('#' + QByteArray::number(*r.number));
    if (!r.name.isEmpty())
        parts.append(r.name);
    for (const ImapValue &v : r.values)
        parts.append(show(v));
    if (!r.text.isEmpty())
        parts.append(r.text);
    return parts.join(' ');
}

// What the reader hands out for the chunks, response after response, and then why it
// stopped when it did: "* #23 EXISTS | Malformed".
QByteArray run(const QList<QByteArray> &chunks, const ImapReader::Limits &limits = {}, ImapResponse *last = nullptr)
{
    static const char *const stops[] = {"", "", "TooLarge", "Malformed"};
    ImapReader reader;
    reader.setLimits(limits);
    QByteArrayList got;
    ImapResponse r;
    for (const QByteArray &chunk : chunks) {
        reader.feed(chunk);
        Result res;
        while ((res = reader.next(r)) == Result::Response)
            got.append(show(r));
        if (res != Result::NeedData) {
            got.append(stops[int(res)]);
            break;
        }
    }
    if (last)
        *last = r;
    return got.join(" | ");
}

struct Row {
    const char *name;
    QByteArray input;
    QByteArray read;
    ImapReader::Limits limits = {}; // line, literal, literals, depth, values
};

class Shapes : public testing::TestWithParam<Row> {};

TEST_P(Shapes, ReadAsValuesWithinBounds)
{
    EXPECT_EQ(run({GetParam().input}, GetParam().limits), GetParam().read);
}

INSTANTIATE_TEST_SUITE_P(
    ImapReader, Shapes,
    testing::Values(
        Row{"tagged_ok_with_code", "a1 OK [UIDVALIDITY 3857529045] EXAMINE completed\r\n",
            "a1 OK [UIDVALIDITY #3857529045] EXAMINE completed"},
        Row{"tagged_bad_lower_case_and_no_text", "a3 bad what?\r\nA001 OK\r\n", "a3 BAD what? | A001 OK"},
        Row{"capability_code", "* OK [CAPABILITY IMAP4rev1 LITERAL+ AUTH=PLAIN] ready\r\n",
            "* OK [CAPABILITY IMAP4rev1 LITERAL+ AUTH=PLAIN] ready"},
        Row{"code_with_list", "* OK [PERMANENTFLAGS (\\Deleted \\*)] Limited\r\n",
            "* OK [PERMANENTFLAGS (\\Deleted \\*)] Limited"},
        Row{"code_not_values_kept_as_text", "* NO [REFERRAL \"imap://x] y\r\n", "* NO [REFERRAL \"imap://x] y"},
        Row{"unclosed_code_is_text", "* OK [ALERT oops\r\n", "* OK [ALERT oops"},
        Row{"preauth_and_bye", "* PREAUTH hi\r\n* BYE [ALERT] down\r\n", "* PREAUTH hi | * BYE [ALERT] down"},
        Row{"literal_header_in_status_text_is_text", "a1 OK done {5}\r\n* 1 RECENT\r\n",
            "a1 OK done {5} | * #1 RECENT"},
        Row{"capability_data", "* capability IMAP4rev1 UIDPLUS\r\n", "* CAPABILITY IMAP4rev1 UIDPLUS"},
        Row{"numbered_data", "* 23 EXISTS\r\n* 5 expunge\n* 18446744073709551615 RECENT\r\n",
            "* #23 EXISTS | * #5 EXPUNGE | * #18446744073709551615 RECENT"},
        Row{"search_and_empty_search", "* SEARCH 1 5 9\r\n\r\n* SEARCH\r\n", "* SEARCH #1 #5 #9 | * SEARCH"},
        Row{"esearch", "* ESEARCH (TAG \"a5\") UID ALL 1:3,7\r\n", "* ESEARCH (TAG \"a5\") UID ALL 1:3,7"},
        Row{"fetch_with_section_and_literal",
            "* 7 FETCH (UID 9 FLAGS (\\Seen) BODY[HEADER.FIELDS (FROM SUBJECT)] {9}\r\nFrom: a\r\n)\r\n",
            "* #7 FETCH (UID #9 FLAGS (\\Seen) BODY[HEADER.FIELDS (FROM SUBJECT)] \"From: a\r\n\")"},
        Row{"partial_body_and_binary_literal",
            QByteArray("* 3 FETCH (BODY[]<0> {2}\r\nab BINARY[1] ~{3}\r\na\0b)\r\n", 51),
            "* #3 FETCH (BODY[]<0> \"ab\" BINARY[1] \"a\\0b\")"},
        Row{"list_quoted_and_atom_names", "* LIST (\\HasNoChildren) \"/\" INBOX\r\n* LIST () \"/\" a]b\r\n",
            "* LIST (\\HasNoChildren) \"/\" INBOX | * LIST () \"/\" a]b"},
        Row{"list_literal_name_nil_delimiter", "* LIST () nil {5}\r\na b c\r\n", "* LIST () NIL \"a b c\""},
        Row{"quoted_escapes", "* LIST () \"\\\\\" \"a\\\"b\"\r\n", "* LIST () \"\\\" \"a\"b\""},
        Row{"literals_in_envelope", "* 1 FETCH (ENVELOPE (NIL {3}\r\nabc ((\"x\" NiL {1}\r\nb \"c\")) {0}\r\n))\r\n",
            "* #1 FETCH (ENVELOPE (NIL \"abc\" ((\"x\" NIL \"b\" \"c\")) \"\"))"},
        Row{"continuations", "+ UGFzcw==\r\n+\r\n+ \r\n", "+ UGFzcw== | + | +"},
        Row{"incomplete_waits", "* 1 FETCH (BODY[] {5}\r\nab", ""},
        Row{"number_overflow", "* 18446744073709551616 EXISTS\r\n", "Malformed"},
        Row{"value_overflow", "* SEARCH 1 18446744073709551616\r\n", "Malformed"},
        Row{"unterminated_quoted", "* LIST () \"/ INBOX\r\n", "Malformed"},
        Row{"nul_outside_literal", QByteArray("* OK a\0b\r\n", 10), "Malformed"},
        Row{"literal_header_mid_line", "* 1 FETCH (BODY[] {5} x)\r\n", "Malformed"},
        Row{"literal_header_not_digits", "* 1 FETCH (BODY[] {x})\r\n", "Malformed"},
        Row{"literal_size_overflow", "* 1 FETCH (BODY[] {99999999999999999999}\r\n", "Malformed"},
        Row{"unclosed_list", "* 1 FETCH (UID 1\r\n", "Malformed"},
        Row{"stray_close", "* 1 FETCH UID 1)\r\n", "Malformed"},
        Row{"unclosed_section", "* 1 FETCH (BODY[HEADER 1)\r\n", "Malformed"},
        Row{"tagged_unknown_status", "a1 HELLO\r\n", "Malformed"},
        Row{"number_without_name", "* 5\r\n", "Malformed"},
        Row{"malformed_stops_for_good", "*\r\n* 1 EXISTS\r\n", "Malformed"},
        Row{"line_at_bound", "* SEARCH 1 2 345\r\n", "* SEARCH #1 #2 #345", {16, 1, 1, 1, 9}},
        Row{"line_over_bound", "* SEARCH 1 2 3456\r\n", "TooLarge", {16, 1, 1, 1, 9}},
        Row{"line_over_bound_before_its_end", "* SEARCH 1 2 3 4 5 6", "TooLarge", {16, 1, 1, 1, 9}},
        Row{"lines_of_one_response_add_up", "* 1 FETCH (A {1}\r\nx B)\r\n", "TooLarge", {16, 9, 9, 1, 9}},
        Row{"literal_at_bound", "* 1 FETCH (A {4}\r\nabcd)\r\n", "* #1 FETCH (A \"abcd\")", {99, 4, 4, 1, 9}},
        Row{"literal_over_bound_before_its_bytes", "* 1 FETCH (A {5}\r\n", "TooLarge", {99, 4, 9, 1, 9}},
        Row{"literals_at_bound", "* 1 FETCH (A {4}\r\nabcd B {3}\r\nabc)\r\n", "* #1 FETCH (A \"abcd\" B \"abc\")",
            {99, 4, 7, 1, 9}},
        Row{"literals_over_bound", "* 1 FETCH (A {4}\r\nabcd B {4}\r\n", "TooLarge", {99, 4, 7, 1, 9}},
        Row{"depth_at_bound", "* X ((a)) ((b))\r\n", "* X ((a)) ((b))", {99, 1, 1, 2, 9}},
        Row{"depth_over_bound", "* X (((a)))\r\n", "TooLarge", {99, 1, 1, 2, 9}},
        Row{"code_depth_over_bound", "* OK [X ((a))] t\r\n", "TooLarge", {99, 1, 1, 1, 9}},
        Row{"values_at_bound", "* X (1 2) 3\r\n", "* X (#1 #2) #3", {99, 1, 1, 1, 4}},
        Row{"values_over_bound", "* X (1 2) 3 4\r\n", "TooLarge", {99, 1, 1, 1, 4}}),
    [](const auto &info) { return std::string(info.param.name); });

// Every cut into two, and byte by byte, gives what the whole input gives (after h11's
// chunk boundary tests).
TEST(ImapReader, SplitAtEveryByteGivesSameResponses)
{
    const QByteArray input = "* 7 FETCH (UID 9 BODY[HEADER.FIELDS (FROM)] {9}\r\nFrom: a\r\n ENVELOPE ("
                             "\"x\\\"\" {2}\r\n\r\n))\r\n\r\na1 OK [UIDNEXT 10] done\n+ go\r\n";
    const QByteArray whole = run({input});
    EXPECT_EQ(whole, "* #7 FETCH (UID #9 BODY[HEADER.FIELDS (FROM)] \"From: a\r\n\" ENVELOPE (\"x\"\" \"\r\n\"))"
                     " | a1 OK [UIDNEXT #10] done | + go");
    for (qsizetype cut = 0; cut <= input.size(); ++cut)
        EXPECT_EQ(run({input.first(cut), input.sliced(cut)}), whole) << "cut at " << cut;
    QList<QByteArray> bytes;
    for (char ch : input)
        bytes.append(QByteArray(1, ch));
    EXPECT_EQ(run(bytes), whole);
}

TEST(ImapReader, RawKeepsShortLiteralsAndFetchItemsAreFound)
{
    const QByteArray big(ImapReader::rawLiteralKept + 1, 'x');
    ImapResponse r;
    run({"* 2 FETCH (uid 9 BODY[HEADER.FIELDS (FROM)] {2}\r\nab BODY[] {1025}\r\n" + big + ")\r\n"}, {}, &r);
    ASSERT_EQ(r.values.size(), 1);
    EXPECT_EQ(r.raw, "* 2 FETCH (uid 9 BODY[HEADER.FIELDS (FROM)] {2}\r\nab BODY[] {1025}\r\n)\r\n");
    EXPECT_EQ(r.values[0].item("UID")->number, 9);
    EXPECT_EQ(r.values[0].itemWithPrefix("BODY[HEADER")->text, "ab");
    EXPECT_EQ(r.values[0].item("BODY[]")->text, big);
    EXPECT_EQ(r.values[0].item("FLAGS"), nullptr);
}

} // namespace
} // namespace lum
