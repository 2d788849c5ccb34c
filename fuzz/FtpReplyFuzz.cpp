// The control connection's reply reading: the bytes a server sends, split
// into receives of varying size as the socket delivers them, through the
// client's reply reader (line assembly, text decoding, multi-line replies,
// the status number), and every final 227 and 229 line through the
// passive-port readings. The first byte holds the options: bit 0 accepts a bare LF as a
// line end, the rest seeds the receive sizes.
#include "FuzzSupport.h"

#include "ftp/FtpCodec.h"
#include "ftp/FtpExtended.h"
#include "ftp/FtpReplyReader.h"

#include <cstring>
#include <vector>

namespace {

struct Line {
    QString text;
    bool final;
    bool operator==(const Line&) const = default;
};

struct Reading {
    std::vector<Line> lines;
    bool tooLong = false;  // the client would have closed the session
};

// Feeds stream in receives whose sizes come from seed (1 to 64 bytes, or
// all at once for seed 0), through the client's own receive loop.
Reading read(const QByteArray& stream, bool acceptLF, unsigned seed)
{
    Reading out;
    FtpReplyReader reader;
    qsizetype at = 0;
    unsigned state = seed * 2654435761u + 1;
    const auto receive = [&](char* buffer, int room) {
        state = state * 1103515245u + 12345u;
        const qsizetype want = seed == 0 ? stream.size() : 1 + (state >> 16) % 64;
        const int n = int(std::min<qsizetype>({want, qsizetype(room), stream.size() - at}));
        std::memcpy(buffer, stream.constData() + at, size_t(n));
        at += n;
        return n;
    };
    const auto onLine = [&](const QByteArray& bytes) {
        FUZZ_CHECK(bytes.size() < FtpReplyReader::kBufSize);
        FUZZ_CHECK(!bytes.endsWith('\r') && !bytes.endsWith('\n'));
        const QString text = ftpcodec::decode(bytes);
        const bool final = reader.EndsReply(text);
        if (final) {
            const int status = FtpReplyReader::ParseStatus(text);
            FUZZ_CHECK(status > -1000000 && status < 1000000);
            if (status == 227) {
                const std::optional<quint16> port = PassivePortOf(text);
                FUZZ_CHECK(!port || *port <= 65535);
            }
            if (status == 229) {
                QString why;
                const int port = ParseEpsvPort(text, &why);
                FUZZ_CHECK(port >= 0 && port <= 65535);
                FUZZ_CHECK(port != 0 || !why.isEmpty());
            }
        }
        out.lines.push_back({text, final});
        return true;
    };
    while (at < stream.size()) {
        if (reader.ReceiveLines(acceptLF, receive, onLine) == FtpReplyReader::Received::TooLong) {
            out.tooLong = true;
            break;
        }
        FUZZ_CHECK(reader.Pending() >= 0 && reader.Pending() < FtpReplyReader::kBufSize);
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    fuzz::Input in(data, size);
    const uint8_t options = in.byte();
    const QByteArray stream = in.rest();
    const bool acceptLF = options & 1;

    const Reading chunked = read(stream, acceptLF, options >> 1);
    // However the bytes are split into receives, the same lines come out,
    // and a line too long for the buffer is too long in every split.
    const Reading whole = read(stream, acceptLF, 0);
    FUZZ_CHECK(chunked.tooLong == whole.tooLong);
    FUZZ_CHECK(chunked.lines == whole.lines);
    return 0;
}
