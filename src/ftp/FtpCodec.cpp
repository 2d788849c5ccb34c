#include "ftp/FtpCodec.h"

namespace ftpcodec {

bool isValidUtf8(const QByteArray& bytes)
{
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.constData());
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    while (i < n) {
        const unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        int len;
        unsigned cp;
        if ((c & 0xE0) == 0xC0) { len = 2; cp = c & 0x1F; }
        else if ((c & 0xF0) == 0xE0) { len = 3; cp = c & 0x0F; }
        else if ((c & 0xF8) == 0xF0) { len = 4; cp = c & 0x07; }
        else return false;
        if (i + len > n)
            return false;
        for (int k = 1; k < len; ++k) {
            if ((p[i + k] & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        // Overlong forms, surrogates and values beyond U+10FFFF are not UTF-8.
        if ((len == 2 && cp < 0x80) || (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000)
            || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

QString decode(const QByteArray& bytes, bool* latin1)
{
    const bool utf8 = isValidUtf8(bytes);
    if (latin1)
        *latin1 = !utf8;
    return utf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

QByteArray encode(const QString& text, bool latin1Mode)
{
    if (latin1Mode) {
        bool fits = true;
        for (QChar ch : text) {
            if (ch.unicode() > 0xFF) {
                fits = false;
                break;
            }
        }
        if (fits)
            return text.toLatin1();
    }
    return text.toUtf8();
}

} // namespace ftpcodec
