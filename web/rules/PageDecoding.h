#pragma once

#include <QByteArray>
#include <QStringDecoder>

namespace pomiv {

// The decoder for a page's bytes, chosen once for the whole body so that a
// character split between two pieces is decoded whole: a byte-order mark;
// else the charset of the Content-Type header; else a charset declared in a
// <meta> tag within the first 4096 bytes; each only where the name is one
// that can be decoded; else UTF-8 when the bytes are valid UTF-8; else
// Shift_JIS.
QStringDecoder pageDecoder(const QByteArray &body, const QByteArray &contentType);

// The charset named in a <meta> tag within the first 4096 bytes, or empty.
QByteArray metaCharset(const QByteArray &body);

} // namespace pomiv
