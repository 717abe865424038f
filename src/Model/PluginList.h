#pragma once

#include "Model/Plugin.h"
#include "Support/PlainText.h"
#include "Support/PlainTextSet.h"

#include <QSet>
#include <QUuid>

#include <compare>
#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

namespace quorvane {

using ProductKeySet = std::unordered_set<QString, PlainHash, PlainEqualTo>;

// An inventory that is never changed in place: a list of shared, immutable products. Copying one
// costs a reference count; a change (PluginListEdit) makes a new list that shares every product it
// did not touch, so whoever holds the old one (the writer, a screen) keeps it as it was.
class PluginList {
public:
    using Item = std::shared_ptr<const Plugin>;
    using value_type = Plugin;
    using size_type = std::size_t;

    // Iterates the products as `const Plugin&`.
    class const_iterator {
    public:
        using iterator_category = std::random_access_iterator_tag;
        using iterator_concept = std::random_access_iterator_tag;
        using value_type = Plugin;
        using difference_type = std::ptrdiff_t;
        using pointer = const Plugin*;
        using reference = const Plugin&;

        const_iterator() = default;
        explicit const_iterator(const Item* at) : m_at(at) {}

        reference operator*() const { return **m_at; }
        pointer operator->() const { return m_at->get(); }
        reference operator[](difference_type offset) const { return *m_at[offset]; }
        const_iterator& operator++() { return ++m_at, *this; }
        const_iterator operator++(int) { return const_iterator(m_at++); }
        const_iterator& operator--() { return --m_at, *this; }
        const_iterator operator--(int) { return const_iterator(m_at--); }
        const_iterator& operator+=(difference_type offset) { return m_at += offset, *this; }
        const_iterator& operator-=(difference_type offset) { return m_at -= offset, *this; }
        friend const_iterator operator+(const_iterator it, difference_type offset) { return it += offset; }
        friend const_iterator operator+(difference_type offset, const_iterator it) { return it += offset; }
        friend const_iterator operator-(const_iterator it, difference_type offset) { return it -= offset; }
        friend difference_type operator-(const_iterator a, const_iterator b) { return a.m_at - b.m_at; }
        friend bool operator==(const_iterator a, const_iterator b) = default;
        friend auto operator<=>(const_iterator a, const_iterator b) = default;

    private:
        const Item* m_at = nullptr;
    };
    using iterator = const_iterator;

    PluginList();
    // Each product moved into a shared one of its own.
    PluginList(std::vector<Plugin> plugins);
    PluginList(std::initializer_list<Plugin> plugins);
    explicit PluginList(std::vector<Item> items);

    std::size_t size() const { return items().size(); }
    bool empty() const { return items().empty(); }
    const Plugin& operator[](std::size_t index) const { return *items()[index]; }
    const Plugin& at(std::size_t index) const { return *items().at(index); }
    const Plugin& front() const { return *items().front(); }
    const Plugin& back() const { return *items().back(); }
    const_iterator begin() const { return const_iterator(items().data()); }
    const_iterator end() const { return const_iterator(items().data() + items().size()); }
    // The shared product at `index`, for a list built from this one.
    const Item& item(std::size_t index) const { return items()[index]; }
    const std::vector<Item>& items() const { return m_data->items; }
    // The id of the product at `index`, read without touching the product.
    const QUuid& idAt(std::size_t index) const { return m_data->lookups[index].id; }
    // The place of the first product with `id`.
    std::optional<std::size_t> indexOf(const QUuid& id) const;

    // A copy of every product.
    std::vector<Plugin> toVector() const;
    // The active products (isActiveProduct), in order, sharing each; this very list when every
    // product is active.
    PluginList activeOnly() const;
    // isQuarantinedProduct of the product at `index`, and the number of its quarantined records.
    bool isQuarantinedAt(std::size_t index) const { return m_data->lookups[index].quarantined; }
    qsizetype quarantinedBundlesAt(std::size_t index) const {
        return m_data->lookups[index].quarantinedBundles;
    }
    // placeNameBits of the product at `index`.
    std::uint64_t placeNameBitsAt(std::size_t index) const { return m_data->lookups[index].placeNames; }
    // Plugin::protectionLevel and Plugin::isMandatoryShell of the product at `index`.
    int protectionLevelAt(std::size_t index) const { return m_data->lookups[index].protectionLevel; }
    bool isMandatoryShellAt(std::size_t index) const { return m_data->lookups[index].mandatoryShell; }
    struct Counts {
        qsizetype active = 0;
        // Products with Plugin::isProtected.
        qsizetype protectedProducts = 0;
        qsizetype quarantinedBundles = 0;
    };
    const Counts& counts() const { return m_data->counts; }

    // The very same list: no product was replaced since one was copied from the other.
    bool isSameList(const PluginList& other) const { return m_data == other.m_data; }
    // Product by product (shared products compare equal without looking inside).
    friend bool operator==(const PluginList& a, const PluginList& b);
    friend bool operator==(const PluginList& a, const std::vector<Plugin>& b);

private:
    friend class PluginListEdit;
    // What lookups ask of every product, kept beside the products: finding a product by id, the
    // products under a few protection keys or the quarantined ones, and the counts, then read one
    // array instead of every product.
    struct Lookup {
        QUuid id;
        std::size_t keyHash = 0;
        qsizetype quarantinedBundles = 0;
        std::uint64_t placeNames = 0;
        bool active = false;
        bool quarantined = false;
        bool isProtected = false;
        bool mandatoryShell = false;
        std::int8_t protectionLevel = 0;
    };
    struct Data {
        std::vector<Item> items;
        std::vector<Lookup> lookups;
        Counts counts;
    };
    static Lookup lookupOf(const Plugin& plugin);
    PluginList(std::vector<Item> items, std::vector<Lookup> lookups);

    std::shared_ptr<const Data> m_data;
};

// A change being made to a PluginList: reads see the change so far, change(index) gives a product
// of its own to write to (copied from the shared one the first time), and list() makes the new list.
// Every product written, added or removed is remembered by id.
class PluginListEdit {
public:
    explicit PluginListEdit(const PluginList& from);

    std::size_t size() const { return m_items.size(); }
    bool empty() const { return m_items.empty(); }
    const Plugin& operator[](std::size_t index) const { return *m_items[index]; }
    PluginList::const_iterator begin() const { return PluginList::const_iterator(m_items.data()); }
    PluginList::const_iterator end() const {
        return PluginList::const_iterator(m_items.data() + m_items.size());
    }

    Plugin& change(std::size_t index);
    void replace(std::size_t index, Plugin plugin);
    void erase(std::size_t index);
    void push_back(Plugin plugin);
    // Stores the synthesised record of every single-format product without records.
    void materializeBundleRecords();

    // The positions of the products whose protection key is one of `keys`, in order.
    std::vector<std::size_t> indicesUnderProtectionKeys(const ProductKeySet& keys) const;
    // As the list's, for the product at `index` as it is now.
    qsizetype quarantinedBundlesAt(std::size_t index) const;
    std::uint64_t placeNameBitsAt(std::size_t index) const;

    bool changedAny() const { return m_changedAny; }
    const QSet<QUuid>& changedIDs() const { return m_changedIDs; }
    // The list as changed; the list edited from when nothing was. The products it holds are shared
    // from then on: a later change of this edit copies them again.
    PluginList list();

private:
    PluginList m_from;
    std::vector<PluginList::Item> m_items;
    // The lookup of every product not owned; an owned product's may be out of date.
    std::vector<PluginList::Lookup> m_lookups;
    // One flag per product: it is this edit's own, written in place from now on.
    std::vector<bool> m_owned;
    QSet<QUuid> m_changedIDs;
    bool m_changedAny = false;
};

// Lower-cased standardised `path` of every active record of every product (no format prefix).
// Hashed and compared as plain text.
PlainTextSet activeBundlePaths(const PluginList& plugins);

} // namespace quorvane
