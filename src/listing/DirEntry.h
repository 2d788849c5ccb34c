#pragma once
// One parsed listing line. The rest of the program passes entries around as
// text: seven fields (Kind, Name, Size, Date, Time, Attributes, LinkTarget)
// separated by U+00A6. DirEntry is the typed form of that text.
//
// A listing can hold a million entries, so an entry is kept small: the six
// text fields live back to back in one block of characters and are told
// apart by their end offsets. Entries made by a DirEntryPool share large
// blocks (one allocation for hundreds of entries); any other entry has a
// block of its own. Blocks are shared between copies and never written once
// filled. The fields are read as views (cheap, for sorting, filtering and
// display) or as QStrings (a copy).
#include <QString>
#include <QStringView>
#include <atomic>
#include <cstdint>

// The field separator of an entry's text form (the broken bar).
inline constexpr QChar kDirEntrySeparator = QChar(0x00A6);

class DirEntry {
public:
    bool directory = false;  // Kind: "0" directory (or a link counted as one), "1" file

    DirEntry() = default;
    DirEntry(bool directory, QStringView name, QStringView size = {}, QStringView date = {},
             QStringView time = {}, QStringView attributes = {}, QStringView linkTarget = {});
    DirEntry(const DirEntry& other) noexcept;
    DirEntry(DirEntry&& other) noexcept;
    DirEntry& operator=(const DirEntry& other) noexcept;
    DirEntry& operator=(DirEntry&& other) noexcept;
    ~DirEntry() { release(m_block); }

    QStringView nameView() const { return field(Name); }
    QStringView sizeView() const { return field(Size); }
    QStringView dateView() const { return field(Date); }
    QStringView timeView() const { return field(Time); }
    QStringView attributesView() const { return field(Attributes); }
    QStringView linkTargetView() const { return field(LinkTarget); }

    QString name() const { return nameView().toString(); }
    QString size() const { return sizeView().toString(); }
    QString date() const { return dateView().toString(); }
    QString time() const { return timeView().toString(); }
    QString attributes() const { return attributesView().toString(); }
    QString linkTarget() const { return linkTargetView().toString(); }

    // Each setter gives the entry a block of its own; the value may be a
    // view into this entry itself.
    void setName(QStringView value) { setField(Name, value); }
    void setSize(QStringView value) { setField(Size, value); }
    void setDate(QStringView value) { setField(Date, value); }
    void setTime(QStringView value) { setField(Time, value); }
    void setAttributes(QStringView value) { setField(Attributes, value); }
    void setLinkTarget(QStringView value) { setField(LinkTarget, value); }

    // "Kind¦Name¦Size¦Date¦Time¦Attributes¦LinkTarget". A field holding the
    // separator itself (or the escape character U+0010) is escaped so the text
    // still splits into seven fields; for every other entry the text is the
    // plain seven-field form, byte for byte.
    QString toText() const;

    // Reads the text form back, undoing the escapes. Missing trailing fields
    // stay empty; a Kind other than "0" is a file.
    static DirEntry fromText(QStringView text);

    // Same kind and the same six fields.
    bool operator==(const DirEntry& other) const;

private:
    friend class DirEntryPool;
    enum Field { Name, Size, Date, Time, Attributes, LinkTarget, FieldCount };
    using Fields = QStringView[FieldCount];

    // A reference-counted block of characters; the characters follow it.
    struct Block {
        std::atomic<int> refs;
        std::uint32_t capacity;
        bool huge;  // allocated in whole huge pages (see create)
        QChar* chars() { return reinterpret_cast<QChar*>(this + 1); }
        static Block* create(std::uint32_t capacity);
        static void destroy(Block* b) noexcept;
    };
    static void retain(Block* b) noexcept
    {
        if (b)
            b->refs.fetch_add(1, std::memory_order_relaxed);
    }
    static void release(Block* b) noexcept
    {
        if (b && b->refs.fetch_sub(1, std::memory_order_acq_rel) == 1)
            Block::destroy(b);
    }

    QStringView text() const
    {
        return m_block ? QStringView(m_block->chars() + m_begin, m_end[FieldCount - 1]) : QStringView();
    }
    QStringView field(int f) const
    {
        const std::uint32_t begin = f == 0 ? 0 : m_end[f - 1];
        return text().sliced(begin, m_end[f] - begin);
    }
    // Copies the fields to block at offset begin (room checked by the caller).
    void fill(Block* block, std::uint32_t begin, const Fields& fields);
    void setField(Field f, QStringView value);

    // Where the fields start in m_block and where each ends, counted from
    // m_begin. 32 bits: a field may be longer than 65,535 characters.
    std::uint32_t m_begin = 0;
    std::uint32_t m_end[FieldCount] = {};
    Block* m_block = nullptr;
};

// Makes entries whose texts share large blocks, for a whole listing at a
// time: far fewer allocations, and no allocator overhead per entry.
class DirEntryPool {
public:
    DirEntryPool() = default;
    DirEntryPool(const DirEntryPool&) = delete;
    DirEntryPool& operator=(const DirEntryPool&) = delete;
    ~DirEntryPool() { DirEntry::release(m_block); }

    DirEntry make(bool directory, QStringView name, QStringView size, QStringView date,
                  QStringView time, QStringView attributes, QStringView linkTarget);

private:
    // Blocks start at 32 KB and double up to 2 MB, so a small listing stays
    // small and a long one lives in blocks the kernel can back with huge
    // pages (one page fault per 2 MB instead of 512).
    static constexpr std::uint32_t kFirstBlockChars = 16 * 1024;
    static constexpr std::uint32_t kLargestBlockChars = ((2u << 20) - sizeof(DirEntry::Block)) / sizeof(QChar);
    DirEntry::Block* m_block = nullptr;
    std::uint32_t m_used = 0;
    std::uint32_t m_nextChars = kFirstBlockChars;
};

// Asks the kernel to back the whole 2 MB pages inside [data, data + bytes)
// with huge pages, where it can: a long listing's memory is touched once,
// front to back, and then costs one page fault per 2 MB. Does nothing for
// less than 4 MB or where the system has no such pages.
void AdviseHugePages(void* data, size_t bytes);

// Escaping used inside one field of the text form: U+0010 followed by 'a'
// stands for U+00A6, U+0010 twice for U+0010. Exposed for consumers that
// split the text themselves.
QString escapeDirEntryField(const QString& field);
QString unescapeDirEntryField(QStringView field);

// A symbolic link (its attributes begin with "l", or the listing named a
// target), whatever it points to.
inline bool IsLinkEntry(const DirEntry& e)
{
    return e.attributesView().startsWith(QLatin1Char('l'), Qt::CaseInsensitive) || !e.linkTargetView().isEmpty();
}
