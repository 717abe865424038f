#include "FormatCleanupTestSupport.h"
#include "Support/ByteCount.h"

#include <QSignalSpy>

namespace quorvane::testing {
namespace {

using Preset = FormatCleanupPresetKind;

TEST(FormatCleanupTextsTest, ConfirmationMessageCountsWithTheirPlurals) {
    struct Case {
        qsizetype bundles, products;
        qint64 size;
        qsizetype optIns;
        QString expected;
    };
    const QString middle = QStringLiteral(" into reversible quarantine. This moves ");
    const QString tail = QStringLiteral("; it does not free disk space.");
    const Formatters formatters;
    const std::vector<Case> cases{
        {1, 1, 0, 0,
         QStringLiteral("Quorvane will move 1 exact format bundle across 1 product") + middle +
             QStringLiteral("0 bytes") + tail},
        {2, 1, 3000000, 1,
         QStringLiteral("Quorvane will move 2 exact format bundles across 1 product") + middle +
             formatByteCount(3000000) + tail +
             QStringLiteral(
                 " You explicitly selected 1 candidate that leave a product with no active format.")},
        {2, 2, -5, 2,
         QStringLiteral("Quorvane will move 2 exact format bundles across 2 products") + middle +
             QStringLiteral("0 bytes") + tail +
             QStringLiteral(
                 " You explicitly selected 2 candidates that leave a product with no active format.")},
        {1000, 12, 1, 0,
         QStringLiteral("Quorvane will move 1000 exact format bundles across 12 products") + middle +
             formatByteCount(1) + tail},
    };
    for (const Case& c : cases)
        EXPECT_EQ(
            cleanupConfirmationMessage(c.bundles, c.products, cleanupSizeText(formatters, c.size), c.optIns),
            c.expected);
}

TEST(FormatCleanupTextsTest, SizesAndCaptions) {
    const Formatters formatters;
    EXPECT_EQ(cleanupSizeText(formatters, std::nullopt), QStringLiteral("Unknown size"));
    EXPECT_EQ(cleanupSizeText(formatters, 0), QStringLiteral("0 bytes"));
    EXPECT_EQ(cleanupSizeText(formatters, -1), QStringLiteral("0 bytes"));
    EXPECT_EQ(cleanupSizeText(formatters, 2048), formatByteCount(2048));
    EXPECT_EQ(FormatCleanupTexts::remainCaption(1), QStringLiteral("1 format bundle remain in Quarantine"));
    EXPECT_EQ(FormatCleanupTexts::remainCaption(2), QStringLiteral("2 format bundles remain in Quarantine"));
    EXPECT_EQ(FormatCleanupTexts::reviewGroupTitle(5), QStringLiteral("Warnings and Exclusions (5)"));
}

TEST(FormatCleanupTextsTest, ChunksKeepOrderAndCapTheirSize) {
    const auto selections = [](int count) {
        std::vector<PluginBundleSelection> all;
        for (int index = 0; index < count; ++index)
            all.push_back({QUuid::createUuid(), QString::number(index)});
        return all;
    };
    struct Case {
        int count;
        qsizetype size;
        std::vector<std::size_t> sizes;
    };
    for (const Case& c : std::vector<Case>{{0, 256, {}},
                                           {256, 256, {256}},
                                           {257, 256, {256, 1}},
                                           {600, 256, {256, 256, 88}},
                                           {3, 0, {}},
                                           {3, -1, {}}}) {
        const auto all = selections(c.count);
        const auto chunks = chunkSelections(all, c.size);
        std::vector<std::size_t> sizes;
        std::vector<PluginBundleSelection> joined;
        for (const auto& chunk : chunks) {
            sizes.push_back(chunk.size());
            joined.insert(joined.end(), chunk.begin(), chunk.end());
        }
        EXPECT_EQ(sizes, c.sizes) << c.count;
        EXPECT_EQ(joined, c.sizes.empty() ? std::vector<PluginBundleSelection>{} : all) << c.count;
    }
}

TEST_F(FormatCleanupTest, PreviewPlansTheInventoryAsItIsWithTheDiskCheckAndSafeDefaults) {
    auto plugins = vst2Products(2);
    plugins.push_back(product(QStringLiteral("Lonely"), {QStringLiteral("VST2")},
                              {policy.approvedSystemPluginRoots().at(1) + QStringLiteral("/Lonely.vst")}));
    plugins.push_back(product(QStringLiteral("Gone"), {QStringLiteral("VST2")},
                              {policy.approvedSystemPluginRoots().at(1) + QStringLiteral("/Gone.vst")}));
    start(plugins);
    ASSERT_TRUE(QDir(plugins[3].bundles->front().path).removeRecursively());

    EXPECT_EQ(viewModel->preset(), Preset::auAndVST3);
    viewModel->setCustomFormat(QStringLiteral("CLAP"), true);
    viewModel->setPreset(Preset::retireVST2);
    viewModel->buildCleanupPreview();
    const FormatCleanupPlan& plan = *viewModel->plan();
    EXPECT_EQ(plan.preset, Preset::retireVST2);
    EXPECT_EQ(plan.inventoryRevision, store->inventoryRevision());
    EXPECT_EQ(plan.customFormatsToQuarantine, FormatSet{QStringLiteral("CLAP")});
    ASSERT_EQ(plan.candidates.size(), 3u);
    ASSERT_EQ(plan.exclusions.size(), 1u);
    EXPECT_EQ(plan.exclusions[0].reason, FormatCleanupExclusionReason::missingBundle);
    // The lonely product's only format is unticked; the rest are the plan's defaults.
    const auto defaults = plan.defaultSelections();
    EXPECT_EQ(viewModel->selected(), FormatCleanupViewModel::SelectionSet(defaults.begin(), defaults.end()));
    EXPECT_EQ(viewModel->selected().size(), 2u);
    EXPECT_FALSE(viewModel->isSelected(selection(plugins[2])));

    // Ticking the opt-in candidate adds the closing sentence with the singular "candidate".
    EXPECT_FALSE(viewModel->confirmationMessage().contains(QStringLiteral("explicitly")));
    viewModel->setSelected(selection(plugins[2]), true);
    EXPECT_EQ(viewModel->optInCount(), 1);
    EXPECT_TRUE(viewModel->confirmationMessage().startsWith(
        QStringLiteral("Quorvane will move 3 exact format bundles across 3 products")));
    EXPECT_TRUE(viewModel->confirmationMessage().endsWith(
        QStringLiteral(" You explicitly selected 1 candidate that leave a product with no active format.")));
    EXPECT_EQ(viewModel->metrics()[0].detail, QStringLiteral("3 products"));
    EXPECT_EQ(viewModel->metrics()[1].value, QStringLiteral("3"));

    viewModel->clearSelection();
    EXPECT_EQ(viewModel->metrics()[1].value, QStringLiteral("0"));
    EXPECT_EQ(viewModel->metrics()[1].detail, QStringLiteral("0 products"));
    EXPECT_EQ(viewModel->metrics()[2].value, QStringLiteral("0 bytes"));
    EXPECT_FALSE(viewModel->canQuarantineSelected());
    viewModel->selectSafeDefaults();
    EXPECT_EQ(viewModel->selected().size(), 2u);
    EXPECT_TRUE(viewModel->canQuarantineSelected());
}

TEST_F(FormatCleanupTest, PendingJournalTurnsEveryTargetIntoAnExclusion) {
    const auto plugins = vst2Products(2);
    start(plugins);
    ASSERT_TRUE(store->beginPrivileged<PrivilegedKind::quarantine>({selection(plugins[0], 0)}).has_value());
    viewModel->setPreset(Preset::retireVST2);
    viewModel->buildCleanupPreview();
    EXPECT_TRUE(viewModel->plan()->candidates.empty());
    ASSERT_EQ(viewModel->plan()->exclusions.size(), 2u);
    for (const auto& exclusion : viewModel->plan()->exclusions)
        EXPECT_EQ(exclusion.reason, FormatCleanupExclusionReason::pendingTransaction);
    EXPECT_EQ(viewModel->noEligibleDescription(),
              QStringLiteral("Every targeted bundle was safely excluded. Review the exclusions below."));
    viewModel->setPreset(Preset::noAAX);
    viewModel->buildCleanupPreview();
    EXPECT_EQ(viewModel->noEligibleDescription(),
              QStringLiteral("This preset does not target any active format bundles."));
}

TEST_F(FormatCleanupTest, ChangesDropThePreviewOnlyWhereTheyShould) {
    struct Case {
        const char* name;
        Preset preset;
        std::function<void()> change;
        bool dropped;
    };
    const std::vector<Case> cases{
        {"another preset", Preset::retireVST2, [this] { viewModel->setPreset(Preset::auOnly); }, true},
        {"the same preset", Preset::retireVST2, [this] { viewModel->setPreset(Preset::retireVST2); }, false},
        {"a custom format, custom preset", Preset::custom,
         [this] { viewModel->setCustomFormat(QStringLiteral("AAX"), true); }, true},
        {"a custom format, other preset", Preset::retireVST2,
         [this] { viewModel->setCustomFormat(QStringLiteral("AAX"), true); }, false},
        {"a new inventory revision", Preset::retireVST2,
         [this] { store->setProtection(store->plugins().front(), true); }, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!store)
            start(vst2Products(2));
        viewModel->setPreset(c.preset);
        viewModel->setCustomFormat(QStringLiteral("VST2"), true);
        viewModel->buildCleanupPreview();
        viewModel->requestConfirmation();
        ASSERT_TRUE(viewModel->showConfirmation());
        c.change();
        EXPECT_EQ(!viewModel->plan().has_value(), c.dropped);
        EXPECT_EQ(viewModel->selected().empty(), c.dropped);
        EXPECT_EQ(viewModel->showConfirmation(), !c.dropped);
        viewModel->cancelConfirmation();
        viewModel->setCustomFormat(QStringLiteral("AAX"), false);
    }
}

TEST_F(FormatCleanupTest, BuildPreviewAndQuarantineFollowTheirRules) {
    start(vst2Products(1), false);
    EXPECT_TRUE(viewModel->canBuildPreview());
    viewModel->setPreset(Preset::custom);
    EXPECT_FALSE(viewModel->canBuildPreview());
    viewModel->setCustomFormat(QStringLiteral("VST2"), true);
    EXPECT_TRUE(viewModel->canBuildPreview());
    viewModel->buildCleanupPreview();
    // Not enabled: the amber bar and a disabled "Quarantine Selected…".
    EXPECT_FALSE(viewModel->canQuarantineSelected());
    viewModel->requestConfirmation();
    EXPECT_FALSE(viewModel->showConfirmation());
    const std::vector<FormatCleanupViewModel::Note> expected{
        {FormatCleanupTexts::safetyNote, FormatCleanupViewModel::Tint::blue},
        {QStringLiteral("Enable Plugin Management before moving system plugin bundles."),
         FormatCleanupViewModel::Tint::amber}};
    EXPECT_EQ(viewModel->notes(), expected);
}

} // namespace
} // namespace quorvane::testing
