#pragma once
// Shared pieces of the fuzz harnesses: reading the input bit by bit, a
// scratch directory for the readers that take a file, and the property check
// that stops the run.
#include <QByteArray>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>

// A property every input must keep; a failure is a finding like a crash.
#define FUZZ_CHECK(cond)                                                                       \
    do {                                                                                       \
        if (!(cond)) {                                                                         \
            std::fprintf(stderr, "Property failed: %s (%s:%d)\n", #cond, __FILE__, __LINE__); \
            __builtin_trap();                                                                  \
        }                                                                                      \
    } while (0)

// The same for two values that must be equal; both are printed first.
#define FUZZ_CHECK_EQ(a, b)                                  \
    do {                                                     \
        const auto& fuzzLeft = (a);                          \
        const auto& fuzzRight = (b);                         \
        if (!(fuzzLeft == fuzzRight)) {                      \
            qDebug().nospace() << "left:  " << fuzzLeft;     \
            qDebug().nospace() << "right: " << fuzzRight;    \
            FUZZ_CHECK((a) == (b));                          \
        }                                                    \
    } while (0)

namespace fuzz {

// Consumes the input from the front: control bytes first, the text last.
class Input {
public:
    Input(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}

    bool empty() const { return m_pos >= m_size; }
    // The next byte, or 0 once the input is used up.
    uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    // Up to n bytes.
    QByteArray bytes(size_t n)
    {
        const size_t take = n < m_size - m_pos ? n : m_size - m_pos;
        QByteArray out(reinterpret_cast<const char*>(m_data + m_pos), qsizetype(take));
        m_pos += take;
        return out;
    }
    // Everything left.
    QByteArray rest() { return bytes(m_size - m_pos); }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

// A directory of this process for the readers that take a file name (in
// memory where the system offers it), ending with "/".
inline const QString& scratchDir()
{
    static QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists()
                                 ? QStringLiteral("/dev/shm/varnoth-fuzz-XXXXXX")
                                 : QDir::tempPath() + QStringLiteral("/varnoth-fuzz-XXXXXX"));
    static const QString path = dir.path() + QLatin1Char('/');
    return path;
}

// Replaces the file's content with bytes.
inline void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        __builtin_trap();  // the scratch directory itself failed: no result would mean anything
    f.write(bytes);
}

inline QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace fuzz
