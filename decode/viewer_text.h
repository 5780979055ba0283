#pragma once
// The text of a retrieved message as the viewer shows it: "Subject: ", "   From: ", the
// attachment names behind " Attach:  " when there are any, an empty line and the body.

#include "decode/mail_table.h"

namespace lum {

// With LF line ends: the CR LF pairs of the fields and the body become LF.
QString viewerText(const MailRecord &record);

} // namespace lum
