#pragma once
// Classifying the symbolic links of a parsed listing. Internal to the
// listing parser.
#include "listing/DirEntry.h"

#include <QStringView>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace listing_detail {

// What the parser notes of each entry while its line is still in the cache:
// hashes of the names and of the link targets. Classifying the links then
// reads no entry text again except where two hashes agree, which keeps it
// fast when a long listing's entries are far out of the cache.
class LinkNotes {
public:
    // lines: how many entries there can be at most.
    explicit LinkNotes(std::size_t lines)
        : m_lines(lines)
    {
    }
    // Called for every entry kept, in order.
    void note(std::size_t index, QStringView name, QStringView linkTarget);

private:
    friend void classifyLinks(std::vector<DirEntry>&, const LinkNotes&, std::size_t&);
    struct Link {
        std::size_t entry;
        std::uint32_t targetHash;
    };
    std::vector<Link> m_links;  // in the order of their entries
    std::size_t m_lines = 0;
    std::size_t m_firstLink = 0;
    std::vector<std::uint32_t> m_nameHash;  // of the entries from the first link on
};

// Classifies every link by its target among all names of the listing, in
// linear time: each link is resolved once, chains of links are followed and
// remembered, a cycle or an unknown target leaves the link a directory (with
// an empty size). steps grows by one for every table insertion, table look-up
// and link followed (see ParsedListing::linkSteps).
void classifyLinks(std::vector<DirEntry>& entries, const LinkNotes& notes, std::size_t& steps);

} // namespace listing_detail
