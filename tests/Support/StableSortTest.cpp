#include "Support/StableSort.h"

#include <QString>

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <random>
#include <vector>

namespace quorvane {
namespace {

struct Item {
    int key = 0;
    int order = 0;
    bool operator==(const Item&) const = default;
};

std::vector<Item> shuffledItems(std::size_t count, int distinctKeys, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> keys(0, distinctKeys - 1);
    std::vector<Item> items;
    for (std::size_t i = 0; i < count; ++i)
        items.push_back(Item{keys(random), static_cast<int>(i)});
    return items;
}

bool samePermutation(std::vector<Item> a, std::vector<Item> b) {
    const auto byOrder = [](const Item& x, const Item& y) { return x.order < y.order; };
    std::sort(a.begin(), a.end(), byOrder);
    std::sort(b.begin(), b.end(), byOrder);
    return a == b;
}

TEST(StableSortTest, SortsAndKeepsEqualKeysInInputOrder) {
    for (const std::size_t count : {0u, 1u, 2u, 3u, 7u, 64u, 1000u, 1023u}) {
        std::vector<Item> items = shuffledItems(count, 5, static_cast<unsigned>(count));
        std::vector<Item> expected = items;
        std::stable_sort(expected.begin(), expected.end(),
                         [](const Item& a, const Item& b) { return a.key < b.key; });
        stableMergeSort(items, [](const Item& a, const Item& b) { return a.key < b.key; });
        EXPECT_EQ(items, expected) << count;
    }
}

TEST(StableSortTest, AllEqualKeysKeepTheirOrder) {
    std::vector<Item> items = shuffledItems(100, 1, 7);
    const std::vector<Item> original = items;
    stableMergeSort(items, [](const Item&, const Item&) { return false; });
    EXPECT_EQ(items, original);
}

TEST(StableSortTest, SortsOtherContainersAndMoveOnlyValues) {
    std::deque<int> numbers{5, 3, 9, 1, 3};
    stableMergeSort(numbers.begin(), numbers.end(), [](int a, int b) { return a < b; });
    EXPECT_EQ(numbers, (std::deque<int>{1, 3, 3, 5, 9}));

    std::vector<std::unique_ptr<int>> pointers;
    for (const int value : {4, 2, 8})
        pointers.push_back(std::make_unique<int>(value));
    stableMergeSort(pointers, [](const auto& a, const auto& b) { return *a > *b; });
    EXPECT_EQ(*pointers[0], 8);
    EXPECT_EQ(*pointers[1], 4);
    EXPECT_EQ(*pointers[2], 2);
}

TEST(StableSortTest, NonTransitivePredicateIsMemorySafe) {
    // Rock, paper, scissors: every key beats one other and loses to one other.
    std::vector<Item> items = shuffledItems(5000, 3, 11);
    const std::vector<Item> original = items;
    stableMergeSort(items, [](const Item& a, const Item& b) { return (a.key - b.key + 3) % 3 == 1; });
    EXPECT_TRUE(samePermutation(items, original));
}

TEST(StableSortTest, RandomPredicateIsMemorySafe) {
    std::mt19937 random(42);
    std::bernoulli_distribution coin(0.5);
    for (const std::size_t count : {2u, 17u, 4096u}) {
        std::vector<Item> items = shuffledItems(count, 1000, 3);
        const std::vector<Item> original = items;
        stableMergeSort(items, [&](const Item&, const Item&) { return coin(random); });
        EXPECT_TRUE(samePermutation(items, original)) << count;
    }
}

TEST(StableSortTest, MixedExactAndCaseInsensitiveOrderIsMemorySafe) {
    struct Product {
        QString manufacturer;
        QString name;
    };
    const QString makers[] = {QStringLiteral("Acme"), QStringLiteral("ACME"), QStringLiteral("acme"),
                              QStringLiteral("Beta")};
    std::vector<Product> products;
    for (int i = 0; i < 400; ++i)
        products.push_back({makers[(i * 7) % 4], QString::number((i * 13) % 17)});
    stableMergeSort(products, [](const Product& a, const Product& b) {
        if (a.manufacturer == b.manufacturer)
            return a.name < b.name;
        return a.manufacturer.compare(b.manufacturer, Qt::CaseInsensitive) < 0;
    });
    ASSERT_EQ(products.size(), 400u);
    // Only the case variants are mutually inconsistent; "Beta" still follows all of them.
    for (std::size_t i = 0; i < products.size(); ++i)
        EXPECT_EQ(products[i].manufacturer == QStringLiteral("Beta"), i >= 300) << i;
}

} // namespace
} // namespace quorvane
