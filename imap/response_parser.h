#pragma once
// The second step of reading a response: turning its framed lines and literals into a
// typed ImapResponse. Used by ImapReader only.

#include "imap/response_reader.h"

namespace lum {

// lines: the response's lines without their line ends; a line that ends in a literal
// header is followed by that literal in literals (taken from, in order). Gives Response,
// TooLarge (depth or value bound) or Malformed.
ImapReader::Result parseResponse(const std::vector<QByteArray> &lines, std::vector<QByteArray> &literals,
                                 const ImapReader::Limits &limits, ImapResponse &out);

// Whether a first line is a status response or a continuation, which are one line long
// and hold no literals.
bool isOneLineResponse(QByteArrayView firstLine);

} // namespace lum
