#include "Discovery/PluginOrders.h"
#include "Support/StableSort.h"

#include <gtest/gtest.h>

#include <vector>

using namespace quorvane;

namespace {

Plugin product(const QString& manufacturer, const QString& name, int tag) {
    Plugin plugin;
    plugin.manufacturer = manufacturer;
    plugin.name = name;
    plugin.version = QString::number(tag); // tells equal keys apart, to check stability
    return plugin;
}

std::vector<Plugin> awkwardProducts() {
    // Prefixes, case, canonically equivalent forms (é precomposed and decomposed), a character above
    // U+FFFF against one in U+E000..U+FFFF (code point order differs from UTF-16 order there), and
    // U+0000 in names.
    const QStringList texts = {QStringLiteral("Acme"),
                               QStringLiteral("Acme Audio"),
                               QStringLiteral("acme"),
                               QStringLiteral("Ac"),
                               QString::fromUtf8("Caf\u00E9"),
                               QString::fromUtf8("Cafe\u0301"),
                               QStringLiteral("Cafe"),
                               QString::fromUtf8("\U0001F3B5 Sound"),
                               QString::fromUtf8("\uFF21 Wide"),
                               QString(),
                               QStringView(u"Name\0x", 6).toString(),
                               QStringLiteral("Name")};
    std::vector<Plugin> products;
    int tag = 0;
    for (const QString& manufacturer : texts) {
        if (manufacturer.contains(QChar(u'\0')))
            continue;
        for (const QString& name : texts)
            products.push_back(product(manufacturer, name, tag++));
    }
    // Each pair twice, the copies apart, so that a stable sort must keep them in order.
    const std::vector<Plugin> copies(products.rbegin(), products.rend());
    for (const Plugin& copy : copies)
        products.push_back(product(copy.manufacturer, copy.name, tag++));
    return products;
}

std::vector<QString> versions(const std::vector<Plugin>& products) {
    std::vector<QString> result;
    for (const Plugin& plugin : products)
        result.push_back(plugin.version);
    return result;
}

} // namespace

TEST(PluginOrdersTest, SortByManufacturerMatchesTheComparatorAndIsStable) {
    std::vector<Plugin> expected = awkwardProducts();
    stableMergeSort(expected, pluginManufacturerOrder);
    std::vector<Plugin> sorted = awkwardProducts();
    sortByManufacturer(sorted);
    EXPECT_EQ(versions(sorted), versions(expected));

    // A manufacturer holding U+0000 must still sort "Name" before "Name\0x" and "Namf".
    std::vector<Plugin> withNul = {product(QStringLiteral("Namf"), {}, 1),
                                   product(QStringView(u"Name\0x", 6).toString(), {}, 2),
                                   product(QStringLiteral("Name"), QStringLiteral("z"), 3)};
    sortByManufacturer(withNul);
    EXPECT_EQ(versions(withNul),
              (std::vector<QString>{QStringLiteral("3"), QStringLiteral("2"), QStringLiteral("1")}));

    // An unpaired surrogate (a state file may hold one) orders as a code point of its own, between
    // "B" and "\uFF21"; its UTF-8 stand-in "?" would put it first.
    std::vector<Plugin> withSurrogate = {product(QString(QChar(0xD800)), {}, 1),
                                         product(QStringLiteral("B"), {}, 2),
                                         product(QString::fromUtf8("\uFF21"), {}, 3)};
    std::vector<Plugin> surrogateExpected = withSurrogate;
    stableMergeSort(surrogateExpected, pluginManufacturerOrder);
    ASSERT_EQ(versions(surrogateExpected),
              (std::vector<QString>{QStringLiteral("2"), QStringLiteral("1"), QStringLiteral("3")}));
    sortByManufacturer(withSurrogate);
    EXPECT_EQ(versions(withSurrogate), versions(surrogateExpected));

    // Keys that do not match the products one for one are not trusted.
    std::vector<Plugin> oneMore = awkwardProducts();
    ManufacturerOrderKeys keys;
    for (std::size_t index = 1; index < oneMore.size(); ++index)
        keys.append(oneMore[index]);
    keys.sort(oneMore);
    EXPECT_EQ(versions(oneMore), versions(expected));
}
