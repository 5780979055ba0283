#pragma once
// Replies of the kinds Japanese mail servers send, as seeds for mutation and fuzzing.

#include <QByteArray>
#include <QList>

namespace lum::test {

inline QList<QByteArray> sampleMessages()
{
    return {
        // Plain ISO-2022-JP mail with encoded From and folded Subject.
        "Return-Path: <taro@example.jp>\r\n"
        "Message-ID: <20240601.1@example.jp>\r\n"
        "Date: Sat, 1 Jun 2024 10:00:00 +0900\r\n"
        "From: =?ISO-2022-JP?B?GyRCO1FFRBsoQg==?= <taro@example.jp>\r\n"
        "Subject: =?ISO-2022-JP?B?GyRCJDMkcyRLJEEkTxsoQg==?=\r\n"
        " =?ISO-2022-JP?B?GyRCQEE1YT1xGyhC?=\r\n"
        "MIME-Version: 1.0\r\n"
        "Content-Type: text/plain; charset=ISO-2022-JP\r\n"
        "Content-Transfer-Encoding: 7bit\r\n"
        "\r\n"
        "\x1b$BK\\J8%F%-%9%H\x1b(B\r\n"
        "\x1b$B!A\x2d\x21\x7c\x62\x1b(J line two\r\n",
        // Multipart with a short text part and an attachment with an encoded name.
        "From: hanako@example.jp\r\n"
        "Subject: Re: =?iso-2022-jp?b?GyRCRTpJVRsoQg==?=\r\n"
        "Content-Type: multipart/mixed; boundary=\"XYZ\"\r\n"
        "\r\n"
        "This is a multi-part message in MIME format.\r\n"
        "\r\n"
        "--XYZ\r\n"
        "Content-Type: text/plain; charset=ISO-2022-JP\r\n"
        "\r\n"
        "\x1b$B$\"\x1b(B\r\n"
        "--XYZ\r\n"
        "Content-Type: application/pdf;\r\n"
        " name=\"=?ISO-2022-JP?B?GyRCRTpJVRsoQi5wZGY=?=\"\r\n"
        "Content-Disposition: attachment; filename=\"a.pdf\"\r\n"
        "\r\n"
        "JVBERi0xLjQK\r\n"
        "--XYZ--\r\n",
        // Nested alternative inside mixed, UTF-8 and Q words that stay as they are.
        "From: =?UTF-8?B?5aSq6YOO?= <t@example.com>\r\n"
        "Subject: =?ISO-2022-JP?Q?=1B$B$\"=1B(B?= and =?ISO-2022-JP?B?GyRAJCIbKEI=?=\r\n"
        "Content-Type: multipart/mixed; boundary=\"OUT\"\r\n"
        "\r\n"
        "--OUT\r\n"
        "Content-Type: multipart/alternative; boundary=\"IN\"\r\n"
        "\r\n"
        "--IN\r\n"
        "Content-Type: text/plain\r\n"
        "\r\n"
        "plain\r\n"
        "--IN\r\n"
        "Content-Type: text/html\r\n"
        "\r\n"
        "<p>html</p>\r\n"
        "--IN--\r\n"
        "--OUT\r\n"
        "Content-Type: image/png; name=\"p.png\"\r\n"
        "\r\n"
        "iVBORw0KGgo=\r\n"
        "--OUT--\r\n",
    };
}

} // namespace lum::test
