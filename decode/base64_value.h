#pragma once
// The value of one base64 character (RFC 4648 §4), for the decoders that read base64 by hand.

namespace lum {

// 0..63, or -1 for a character outside the alphabet. last is the 64th character: "/", or ","
// in the modified base64 of IMAP mailbox names (RFC 3501 §5.1.3).
constexpr int base64Value(char c, char last = '/')
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    return c == last ? 63 : -1;
}

} // namespace lum
