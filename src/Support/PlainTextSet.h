#pragma once

#include "Support/PlainText.h"

#include <QString>

#include <cstddef>
#include <vector>

namespace quorvane {

// A set of texts compared as plain text, held as two arrays sorted by the texts' plain hashes. Made
// once and then only read: it is for the tens of thousands of bundle paths a scan compares with the
// inventory, where a node-based hash set spends most of its time on memory far apart.
class PlainTextSet {
public:
    PlainTextSet() = default;
    // Canonically equivalent texts count once.
    explicit PlainTextSet(std::vector<QString> texts);

    std::size_t size() const { return m_texts.size(); }
    bool empty() const { return m_texts.empty(); }
    bool contains(const QString& text) const;

    // Calls use(text) for every text of this set that `other` lacks, in one pass over both.
    template <class F>
    void forEachMissingFrom(const PlainTextSet& other, F use) const {
        std::size_t from = 0;
        for (std::size_t index = 0; index < m_texts.size(); ++index) {
            const std::size_t hash = m_hashes[index];
            while (from < other.m_hashes.size() && other.m_hashes[from] < hash)
                ++from;
            if (!other.containsFrom(from, hash, m_texts[index]))
                use(m_texts[index]);
        }
    }

private:
    // Whether `text`, of hash `hash`, is among the texts from `index` on that share that hash.
    bool containsFrom(std::size_t index, std::size_t hash, const QString& text) const;

    std::vector<std::size_t> m_hashes;
    std::vector<QString> m_texts;
};

} // namespace quorvane
