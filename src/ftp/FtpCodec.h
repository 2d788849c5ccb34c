#pragma once
// Text rule of the control connection: bytes that are valid UTF-8 are read as
// UTF-8, anything else as Latin-1. Once a server has sent Latin-1 text, names
// go back in Latin-1 (when they fit), so every name round-trips byte for byte.
#include <QByteArray>
#include <QString>

namespace ftpcodec {

bool isValidUtf8(const QByteArray& bytes);

// Decodes one line or name; *latin1 (when given) tells whether the Latin-1
// fallback was taken.
QString decode(const QByteArray& bytes, bool* latin1 = nullptr);

// Encodes a command for a server in UTF-8 or Latin-1 mode. In Latin-1 mode a
// text with characters beyond U+00FF still goes out as UTF-8.
QByteArray encode(const QString& text, bool latin1Mode);

} // namespace ftpcodec
