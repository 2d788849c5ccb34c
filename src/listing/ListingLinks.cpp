#include "listing/ListingLinks.h"

#include <QHashFunctions>
#include <algorithm>

namespace listing_detail {

namespace {

QStringView normalized(QStringView target)
{
    while (target.startsWith(QLatin1String("./")))
        target = target.mid(2);
    return target;
}

std::uint32_t hashOf(QStringView text)
{
    // Any seed but 0: with 0, qHash takes a far slower function.
    constexpr size_t kSeed = 0x9e3779b9;
    return std::uint32_t(qHash(text, kSeed));
}

// The names that some link points at, each with the first entry of that
// name. Open addressing over small records that carry the hash: a look-up
// that finds nothing (most of them: every entry's name is looked up) reads
// only the table, never the text of an entry.
class TargetTable {
public:
    struct Slot {
        std::uint32_t hash = 0;
        std::int32_t link = -1;   // an entry linking to this name; -1: free
        std::int32_t first = -1;  // the first entry of that name
    };

    TargetTable(const std::vector<DirEntry>& entries, std::size_t links)
        : m_entries(entries)
    {
        std::size_t capacity = 16;
        while (capacity < links * 2)
            capacity *= 2;
        m_slots.assign(capacity, Slot{});
        m_mask = capacity - 1;
    }

    // The slot of the link's target, taken if it was free.
    std::size_t addTargetOf(std::size_t link, std::uint32_t hash)
    {
        const std::size_t at = find(targetOf(std::int32_t(link)), hash);
        if (m_slots[at].link < 0)
            m_slots[at] = Slot{hash, std::int32_t(link), -1};
        return at;
    }

    // Records entry index as the first of its name, when some link names it.
    void addName(std::size_t index, std::uint32_t hash)
    {
        Slot& slot = m_slots[find(m_entries[index].nameView(), hash)];
        if (slot.link >= 0 && slot.first < 0)
            slot.first = std::int32_t(index);
    }

    const Slot& operator[](std::size_t at) const { return m_slots[at]; }

private:
    QStringView targetOf(std::int32_t link) const
    {
        return normalized(m_entries[size_t(link)].linkTargetView());
    }

    // The slot of key, or the free slot where it would go. Texts are read
    // only when the hashes agree.
    std::size_t find(QStringView key, std::uint32_t hash) const
    {
        for (std::size_t at = hash & m_mask;; at = (at + 1) & m_mask) {
            const Slot& slot = m_slots[at];
            if (slot.link < 0 || (slot.hash == hash && targetOf(slot.link) == key))
                return at;
        }
    }

    const std::vector<DirEntry>& m_entries;
    std::vector<Slot> m_slots;
    std::size_t m_mask = 0;
};

} // namespace

void LinkNotes::note(std::size_t index, QStringView name, QStringView linkTarget)
{
    if (!linkTarget.isEmpty()) {
        if (m_links.empty()) {
            m_firstLink = index;
            // Grown in one step: a long listing's hashes fill megabytes.
            m_nameHash.reserve(m_lines > index ? m_lines - index : 1);
        }
        m_links.push_back({index, hashOf(normalized(linkTarget))});
    }
    // Names before the first link are hashed only if a link comes.
    if (!m_links.empty())
        m_nameHash.push_back(hashOf(name));
}

void classifyLinks(std::vector<DirEntry>& entries, const LinkNotes& notes, std::size_t& steps)
{
    const std::vector<LinkNotes::Link>& links = notes.m_links;
    if (links.empty())
        return;
    // Index only the names that some link points at: the table stays as small
    // as the number of links, however long the listing. It reads the entries'
    // texts, which stay in place until it is gone: sizes of links are cleared
    // only at the end.
    TargetTable byTarget(entries, links.size());
    std::vector<std::size_t> targetSlot(links.size());
    for (std::size_t k = 0; k < links.size(); ++k) {
        targetSlot[k] = byTarget.addTargetOf(links[k].entry, links[k].targetHash);
        ++steps;
    }
    // The number of the link of an entry that is a link.
    const auto linkOf = [&links](std::size_t entry) {
        return std::size_t(std::lower_bound(links.begin(), links.end(), entry,
                                            [](const LinkNotes::Link& l, std::size_t e) { return l.entry < e; })
                           - links.begin());
    };
    for (std::size_t i = 0; i < entries.size(); ++i) {
        ++steps;
        byTarget.addName(i, i < notes.m_firstLink ? hashOf(entries[i].nameView())
                                                  : notes.m_nameHash[i - notes.m_firstLink]);
    }

    enum State : unsigned char { Unresolved, Resolving, Resolved };
    std::vector<State> state(links.size(), Unresolved);
    std::vector<std::size_t> chain;    // link numbers
    std::vector<std::size_t> counted;  // entries of links that count as directories
    for (std::size_t k = 0; k < links.size(); ++k) {
        if (state[k] == Resolved)
            continue;
        chain.clear();
        bool directory = true;
        std::size_t link = k;
        for (;;) {
            if (state[link] == Resolving) {
                directory = true;  // a cycle of links
                break;
            }
            state[link] = Resolving;
            chain.push_back(link);
            ++steps;
            const std::int32_t next = byTarget[targetSlot[link]].first;
            if (next < 0) {
                directory = true;  // not in this listing
                break;
            }
            const DirEntry& target = entries[size_t(next)];
            if (target.linkTargetView().isEmpty()) {
                directory = target.directory;
                break;
            }
            const std::size_t nextLink = linkOf(size_t(next));
            if (state[nextLink] == Resolved) {
                directory = target.directory;
                break;
            }
            link = nextLink;
        }
        for (std::size_t c : chain) {
            DirEntry& e = entries[links[c].entry];
            e.directory = directory;
            if (directory)
                counted.push_back(links[c].entry);
            state[c] = Resolved;
        }
    }
    for (std::size_t c : counted)
        if (!entries[c].sizeView().isEmpty())
            entries[c].setSize({});
}

} // namespace listing_detail
