#include "Support/PlainTextSet.h"

#include <algorithm>
#include <numeric>

namespace quorvane {

PlainTextSet::PlainTextSet(std::vector<QString> texts) {
    std::vector<std::size_t> hashes;
    hashes.reserve(texts.size());
    for (const QString& text : texts)
        hashes.push_back(plainHash(text));
    // Sorted through their positions, so that each text is moved once.
    std::vector<std::size_t> order(texts.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::ranges::sort(order, [&](std::size_t a, std::size_t b) { return hashes[a] < hashes[b]; });
    m_hashes.reserve(texts.size());
    m_texts.reserve(texts.size());
    for (std::size_t runStart = 0; const std::size_t position : order) {
        // Equal texts have equal hashes: a repeat can only be in the run of its hash so far.
        if (runStart < m_hashes.size() && m_hashes[runStart] != hashes[position])
            runStart = m_hashes.size();
        if (containsFrom(runStart, hashes[position], texts[position]))
            continue;
        m_hashes.push_back(hashes[position]);
        m_texts.push_back(std::move(texts[position]));
    }
}

bool PlainTextSet::contains(const QString& text) const {
    const std::size_t hash = plainHash(text);
    const auto first = std::ranges::lower_bound(m_hashes, hash);
    return containsFrom(static_cast<std::size_t>(first - m_hashes.begin()), hash, text);
}

bool PlainTextSet::containsFrom(std::size_t index, std::size_t hash, const QString& text) const {
    for (; index < m_hashes.size() && m_hashes[index] == hash; ++index) {
        if (plainEqual(m_texts[index], text))
            return true;
    }
    return false;
}

} // namespace quorvane
