#pragma once
// What the viewer keeps of a retrieved multipart message (RFC 2046 §5.1): the text in
// front of the first attachment, without the first part's delimiter and header and without
// the "This is a multi-part message in MIME format." line; and the attachment names.

#include <QByteArray>
#include <QList>

namespace lum {

struct MultipartCut {
    QByteArray text;         // the reply, cut and cleaned
    QList<QByteArray> names; // raw attachment names in the order found (empty when unreadable)
    bool found = false;      // at least one named part
};

// Only a quoted boundary parameter (boundary="...") makes a reply multipart here. A part
// starts where the boundary is followed by CR LF and "Content-Type: " (either case); it is
// an attachment when a name=" (also the tail of filename=") lies in its own header, the
// lines up to the blank line that ends it, and within 300 bytes of the part's start. The
// text is cut in front of the first attachment's delimiter line (at most 5000 bytes kept);
// without attachments the last part goes.
MultipartCut cutMultipart(const QByteArray &reply);

} // namespace lum
