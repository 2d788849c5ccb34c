#include "listing/DirEntry.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace {
constexpr QChar kEscape = QChar(0x0010);  // DLE: "data link escape"

bool needsEscape(QStringView field)
{
    return field.contains(kDirEntrySeparator) || field.contains(kEscape);
}

void appendEscaped(QString& out, QStringView field)
{
    if (!needsEscape(field)) {
        out += field;
        return;
    }
    for (QChar c : field) {
        if (c == kDirEntrySeparator) {
            out += kEscape;
            out += QLatin1Char('a');
        } else if (c == kEscape) {
            out += kEscape;
            out += kEscape;
        } else {
            out += c;
        }
    }
}
} // namespace

QString escapeDirEntryField(const QString& field)
{
    if (!needsEscape(field))
        return field;
    QString out;
    out.reserve(field.size() + 8);
    appendEscaped(out, field);
    return out;
}

QString unescapeDirEntryField(QStringView field)
{
    if (!field.contains(kEscape))
        return field.toString();
    QString out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        QChar c = field[i];
        if (c == kEscape && i + 1 < field.size()) {
            QChar next = field[++i];
            out += next == QLatin1Char('a') ? kDirEntrySeparator : next;
        } else {
            out += c;
        }
    }
    return out;
}

namespace {
std::uint32_t totalSize(const QStringView (&fields)[6])
{
    qsizetype total = 0;
    for (QStringView f : fields)
        total += f.size();
    return std::uint32_t(total);
}
} // namespace

namespace {
constexpr size_t kHugePage = size_t(2) << 20;
} // namespace

void AdviseHugePages(void* data, size_t bytes)
{
#ifdef MADV_HUGEPAGE
    if (bytes < 2 * kHugePage)
        return;
    const auto begin = (reinterpret_cast<std::uintptr_t>(data) + kHugePage - 1) & ~(kHugePage - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(data) + bytes) & ~(kHugePage - 1);
    if (end > begin)
        madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

DirEntry::Block* DirEntry::Block::create(std::uint32_t capacity)
{
    const size_t bytes = sizeof(Block) + size_t(capacity) * sizeof(QChar);
    // A block of a huge page or more is allocated in whole huge pages and
    // advised as such; smaller ones come from the heap.
    const bool huge = bytes >= kHugePage;
    void* memory = huge ? std::aligned_alloc(kHugePage, (bytes + kHugePage - 1) & ~(kHugePage - 1))
                        : ::operator new(bytes);
    if (!memory)
        throw std::bad_alloc();
    if (huge)
        AdviseHugePages(memory, (bytes + kHugePage - 1) & ~(kHugePage - 1));
    Block* b = new (memory) Block;
    b->refs.store(1, std::memory_order_relaxed);
    b->capacity = capacity;
    b->huge = huge;
    return b;
}

void DirEntry::Block::destroy(Block* b) noexcept
{
    const bool huge = b->huge;
    b->~Block();
    if (huge)
        std::free(b);
    else
        ::operator delete(b);
}

DirEntry::DirEntry(bool isDirectory, QStringView name, QStringView size, QStringView date,
                   QStringView time, QStringView attributes, QStringView linkTarget)
    : directory(isDirectory)
{
    const Fields fields = {name, size, date, time, attributes, linkTarget};
    const std::uint32_t total = totalSize(fields);
    if (total > 0) {
        m_block = Block::create(total);
        fill(m_block, 0, fields);
    }
}

DirEntry::DirEntry(const DirEntry& other) noexcept
    : directory(other.directory), m_begin(other.m_begin), m_block(other.m_block)
{
    std::memcpy(m_end, other.m_end, sizeof m_end);
    retain(m_block);
}

DirEntry::DirEntry(DirEntry&& other) noexcept
    : directory(other.directory), m_begin(other.m_begin), m_block(other.m_block)
{
    std::memcpy(m_end, other.m_end, sizeof m_end);
    other.m_block = nullptr;
    other.m_begin = 0;
    std::memset(other.m_end, 0, sizeof other.m_end);
}

DirEntry& DirEntry::operator=(const DirEntry& other) noexcept
{
    retain(other.m_block);  // before the release: other may be this
    release(m_block);
    directory = other.directory;
    m_begin = other.m_begin;
    std::memcpy(m_end, other.m_end, sizeof m_end);
    m_block = other.m_block;
    return *this;
}

DirEntry& DirEntry::operator=(DirEntry&& other) noexcept
{
    if (this != &other) {
        release(m_block);
        directory = other.directory;
        m_begin = other.m_begin;
        std::memcpy(m_end, other.m_end, sizeof m_end);
        m_block = other.m_block;
        other.m_block = nullptr;
        other.m_begin = 0;
        std::memset(other.m_end, 0, sizeof other.m_end);
    }
    return *this;
}

bool DirEntry::operator==(const DirEntry& other) const
{
    return directory == other.directory && std::memcmp(m_end, other.m_end, sizeof m_end) == 0
        && text() == other.text();
}

void DirEntry::fill(Block* block, std::uint32_t begin, const Fields& fields)
{
    QChar* out = block->chars() + begin;
    std::uint32_t at = 0;
    for (int i = 0; i < FieldCount; ++i) {
        if (!fields[i].isEmpty())
            std::memcpy(out + at, fields[i].data(), size_t(fields[i].size()) * sizeof(QChar));
        at += std::uint32_t(fields[i].size());
        m_end[i] = at;
    }
    m_begin = begin;
}

// The new block is filled before the old one is let go, so the value (or
// any other field) may be a view into it.
void DirEntry::setField(Field f, QStringView value)
{
    Fields fields;
    for (int i = 0; i < FieldCount; ++i)
        fields[i] = i == f ? value : field(i);
    const std::uint32_t total = totalSize(fields);
    Block* old = m_block;
    m_block = nullptr;
    if (total > 0) {
        Block* block = Block::create(total);
        fill(block, 0, fields);
        m_block = block;
    } else {
        m_begin = 0;
        std::memset(m_end, 0, sizeof m_end);
    }
    release(old);
}

DirEntry DirEntryPool::make(bool directory, QStringView name, QStringView size, QStringView date,
                            QStringView time, QStringView attributes, QStringView linkTarget)
{
    const DirEntry::Fields fields = {name, size, date, time, attributes, linkTarget};
    const std::uint32_t total = totalSize(fields);
    DirEntry e;
    e.directory = directory;
    if (total == 0)
        return e;
    if (!m_block || m_block->capacity - m_used < total) {
        DirEntry::release(m_block);
        m_block = DirEntry::Block::create(std::max(total, m_nextChars));
        m_nextChars = std::min(m_nextChars * 2, kLargestBlockChars);
        m_used = 0;
    }
    e.fill(m_block, m_used, fields);
    e.m_block = m_block;
    DirEntry::retain(m_block);
    m_used += total;
    return e;
}

QString DirEntry::toText() const
{
    QString out;
    out.reserve(text().size() + 8);
    out += directory ? QLatin1Char('0') : QLatin1Char('1');
    for (int i = 0; i < FieldCount; ++i) {
        out += kDirEntrySeparator;
        appendEscaped(out, field(i));
    }
    return out;
}

DirEntry DirEntry::fromText(QStringView text)
{
    QStringView views[FieldCount];
    QString unescaped[FieldCount];  // only for fields that carry escapes
    bool directory = false;
    int index = 0;
    qsizetype start = 0;
    while (index < 7) {
        qsizetype end = text.indexOf(kDirEntrySeparator, start);
        // The last field runs to the end of the text.
        if (end < 0 || index == 6)
            end = text.size();
        QStringView field = text.mid(start, end - start);
        if (index == 0) {
            directory = field == QLatin1String("0");
        } else if (field.contains(kEscape)) {
            unescaped[index - 1] = unescapeDirEntryField(field);
            views[index - 1] = unescaped[index - 1];
        } else {
            views[index - 1] = field;
        }
        ++index;
        if (end >= text.size())
            break;
        start = end + 1;
    }
    return DirEntry(directory, views[0], views[1], views[2], views[3], views[4], views[5]);
}
