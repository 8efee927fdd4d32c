#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace foresyn {

// Texts in files are Windows-1252. The five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the C1 control characters
// of the same value and back, so every byte string survives a round trip.
QString DecodeWindows1252(QByteArrayView bytes);

// A character the code page cannot hold is written as "?", one "?" also for a
// character beyond the BMP (a surrogate pair) and for a lone surrogate.
QByteArray EncodeWindows1252(QStringView text);

// As EncodeWindows1252 into `out`, which has room for text.size() bytes (a
// text never encodes to more bytes than it has UTF-16 units). Returns the
// number of bytes written.
qsizetype EncodeWindows1252To(QStringView text, char* out);

// True when EncodeWindows1252 would keep every character of the text.
bool IsWindows1252Encodable(QStringView text);

} // namespace foresyn
