#pragma once
// The messages an IMAP session ends with, and the server's own words made fit to show.

#include "imap/response_reader.h"

#include <QString>

namespace lum::imaptext {

inline QString tooLarge() { return QStringLiteral("ｻｰﾊﾞｰからの応答が大きすぎます"); }
inline QString malformed() { return QStringLiteral("ｻｰﾊﾞｰの応答が正しくありません"); }
// As for a POP3 server that goes away: the connection was reset from the other end.
inline QString disconnected() { return QStringLiteral("ﾘﾓｰﾄﾎｽﾄから切断されました"); }
inline QString refusedBlank() { return QStringLiteral("ｻｰﾊﾞｰに拒否されました"); }
inline QString noStartTls() { return QStringLiteral("ｻｰﾊﾞｰが暗号化(STARTTLS)に対応していません"); }
// As after a POP3 STLS: bytes that came before the handshake make it one not to trust.
inline QString tlsNotStarted() { return QStringLiteral("暗号化通信を開始できません"); }
inline QString loginDisabled() { return QStringLiteral("ｻｰﾊﾞｰが暗号化していない接続でのﾛｸﾞｲﾝを受け付けません"); }
inline QString unusableCharacters() { return QStringLiteral("ﾕｰｻﾞｰ名かﾊﾟｽﾜｰﾄﾞに改行などの使えない文字が含まれています"); }
inline QString folderNotOpened() { return QStringLiteral("ﾌｫﾙﾀﾞを開けません:"); }

// A status response's text as UTF-8, with characters that would act (line breaks, escapes,
// bidirectional overrides) shown as stand-ins.
QString serverText(const ImapResponse &r);
// The same, or a plain "refused" when the server gave no text.
QString refusalText(const ImapResponse &r);

} // namespace lum::imaptext
