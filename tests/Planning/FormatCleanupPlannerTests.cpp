#include "PlanningFixture.h"

#include "Planning/FormatCleanupPlanner.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

using Reason = FormatCleanupExclusionReason;

// "name FORMAT" for a candidate, "name FORMAT reason" for an exclusion: compact enough to compare
// a whole preview at once.
std::vector<QString> candidateLines(const FormatCleanupPlan& plan) {
    std::vector<QString> lines;
    for (const auto& candidate : plan.candidates)
        lines.push_back(candidate.pluginName + " " + candidate.format +
                        (candidate.selectedByDefault ? "" : " unchecked"));
    return lines;
}

std::vector<QString> exclusionLines(const FormatCleanupPlan& plan) {
    std::vector<QString> lines;
    for (const auto& exclusion : plan.exclusions)
        lines.push_back(exclusion.pluginName + " " + exclusion.format.value_or("-") + " " +
                        formatCleanupExclusionReasonTexts().text(exclusion.reason));
    return lines;
}

std::vector<QString> warningDetails(const FormatCleanupPlan& plan) {
    std::vector<QString> details;
    for (const auto& warning : plan.warnings)
        details.push_back(warning.detail);
    return details;
}

QString lossWarning(const QString& name) {
    return name +
           " would have no active format remaining. Its candidates are unchecked by default and require an "
           "explicit opt-in.";
}

class FormatCleanupPlannerTest : public ::testing::Test, public testing::PlanningFixture {
protected:
    void SetUp() override {
        // Deliberately out of order: the planner sorts by manufacturer, then name.
        plugins.push_back(
            product("WaveShell1-VST3 14.0", "Waves", {active("VST3", makeBundle(vst3("WaveShell1.vst3")))}));
        plugins.push_back(product("Old", "Gamma", {active("VST2", vst2("Old.vst"))}));
        plugins.push_back(product("Echo", "Beta",
                                  {quarantined("AU", components("Echo.component")),
                                   active("VST3", makeBundle(vst3("Echo.vst3")))}));
        plugins.push_back(product("Alpha Synth", "Acme",
                                  {active("CLAP", makeBundle(clap("Alpha.clap"))),
                                   active("AAX", makeBundle(aax("Alpha.aaxplugin"))),
                                   active("VST3", makeBundle(vst3("Alpha.vst3"))),
                                   active("AU", makeBundle(components("Alpha.component"))),
                                   active("VST2", makeBundle(vst2("Alpha.vst")))}));
        plugins.push_back(product("Mismatch", "Gamma", {active("VST3", makeBundle(vst2("Mismatch.vst")))}));
        plugins.push_back(product("Other", "Gamma", {active("RTAS", makeBundle(vst3("Other.dpm")))}));
        Plugin hosted = product("Hosted Comp", "Waves", {}, PluginStatus::hostedByShell);
        hosted.bundles.reset();
        hosted.formats = QStringList{"AU"};
        plugins.push_back(hosted);
        plugins.push_back(product("Delay", "Acme",
                                  {active("VST2", makeBundle(vst2("Delay.vst")), true),
                                   active("VST3", makeBundle(vst3("Delay.vst3")))}));
        plugins.push_back(product("Odd", "Gamma", {active(" vst2\n", makeBundle(vst2("Odd.vst")))}));
    }

    FormatCleanupPlan preview(FormatCleanupPresetKind preset, const FormatSet& custom = {},
                              bool pending = false, bool verify = true,
                              std::optional<InventoryRevisionToken> previewed = std::nullopt) {
        return makeFormatCleanupPlan(preset, custom, plugins, revision, previewed, pending, fileSystem,
                                     verify, policy);
    }

    std::vector<Plugin> plugins;
    InventoryRevisionToken revision = InventoryRevisionToken::fresh();
};

TEST_F(FormatCleanupPlannerTest, EachPresetOnAMixedInventory) {
    struct Row {
        FormatCleanupPresetKind preset;
        FormatSet custom;
        std::vector<QString> candidates;
        std::vector<QString> exclusions;
        std::vector<QString> warnings;
    };
    const std::vector<Row> rows{
        {FormatCleanupPresetKind::auOnly,
         {},
         {"Alpha Synth VST2", "Alpha Synth VST3", "Alpha Synth AAX", "Alpha Synth CLAP", "Delay VST3",
          "Echo VST3 unchecked", "Odd VST2 unchecked"},
         {"Delay VST2 protectedBundle", "Mismatch VST3 unsafePath", "Old VST2 missingBundle",
          "Other RTAS unsafePath", "Hosted Comp - mandatoryShell",
          "WaveShell1-VST3 14.0 VST3 mandatoryShell"},
         {lossWarning("Echo"), lossWarning("Odd")}},
        {FormatCleanupPresetKind::auAndVST3,
         {},
         {"Alpha Synth VST2", "Alpha Synth AAX", "Alpha Synth CLAP", "Odd VST2 unchecked"},
         {"Delay VST2 protectedBundle", "Old VST2 missingBundle", "Other RTAS unsafePath",
          "Hosted Comp - mandatoryShell"},
         {lossWarning("Odd")}},
        {FormatCleanupPresetKind::retireVST2,
         {},
         {"Alpha Synth VST2", "Odd VST2 unchecked"},
         {"Delay VST2 protectedBundle", "Old VST2 missingBundle", "Hosted Comp - mandatoryShell"},
         {lossWarning("Odd")}},
        {FormatCleanupPresetKind::noAAX, {}, {"Alpha Synth AAX"}, {"Hosted Comp - mandatoryShell"}, {}},
        {FormatCleanupPresetKind::custom,
         {" clap", "CLAP", "vst3"},
         {"Alpha Synth VST3", "Alpha Synth CLAP", "Delay VST3", "Echo VST3 unchecked"},
         {"Mismatch VST3 unsafePath", "Hosted Comp - mandatoryShell",
          "WaveShell1-VST3 14.0 VST3 mandatoryShell"},
         {lossWarning("Echo")}},
        {FormatCleanupPresetKind::custom, {}, {}, {"Hosted Comp - mandatoryShell"}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(formatCleanupPresetKindTexts().text(row.preset).toStdString());
        const auto plan = preview(row.preset, row.custom);
        EXPECT_EQ(plan.preset, row.preset);
        EXPECT_EQ(plan.inventoryRevision, revision);
        EXPECT_EQ(candidateLines(plan), row.candidates);
        EXPECT_EQ(exclusionLines(plan), row.exclusions);
        EXPECT_EQ(warningDetails(plan), row.warnings);
    }
}

TEST_F(FormatCleanupPlannerTest, CandidateAndExclusionFields) {
    const auto plan = preview(FormatCleanupPresetKind::retireVST2);
    const Plugin& alpha = plugins[3];
    const auto& candidate = plan.candidates.at(0);
    EXPECT_EQ(candidate.selection, (PluginBundleSelection{alpha.id, bundleKey("VST2", vst2("Alpha.vst"))}));
    EXPECT_EQ(candidate.manufacturer, "Acme");
    EXPECT_EQ(candidate.path, vst2("Alpha.vst"));
    EXPECT_EQ(candidate.sizeInBytes, 12'500'000);
    EXPECT_FALSE(candidate.removesLastActiveFormat);

    const auto& protectedExclusion = plan.exclusions.at(0);
    EXPECT_EQ(protectedExclusion.selection,
              (PluginBundleSelection{plugins[7].id, bundleKey("VST2", vst2("Delay.vst"))}));
    EXPECT_EQ(protectedExclusion.detail, u"Delay \u2014 VST2: This format is protected."_qs);
    EXPECT_EQ(plan.exclusions.at(1).detail, u"Old \u2014 VST2: The scanned bundle is no longer present."_qs);
    EXPECT_EQ(
        plan.exclusions.at(2).detail,
        "Hosted Comp is hosted by a shared WaveShell and cannot be moved as an independent plugin bundle.");
    EXPECT_FALSE(plan.exclusions.at(2).selection);
    EXPECT_EQ(plan.warnings.at(0).pluginID, plugins[8].id);
    EXPECT_EQ(plan.warnings.at(0).kind, FormatCleanupWarningKind::noActiveFormatRemaining);

    const auto auOnly = preview(FormatCleanupPresetKind::auOnly);
    const std::vector<QString> details{
        u"Mismatch \u2014 VST3: The recorded bundle path or extension is not safe for a preset action."_qs,
        u"WaveShell1-VST3 14.0 \u2014 VST3: Shared shells and shell-hosted products are permanently excluded."_qs};
    EXPECT_EQ(auOnly.exclusions.at(1).detail, details[0]);
    EXPECT_EQ(auOnly.exclusions.at(5).detail, details[1]);
    EXPECT_EQ(auOnly.affectedProductCount(), 4);
    EXPECT_EQ(auOnly.defaultSelections().size(), 5u);
}

TEST_F(FormatCleanupPlannerTest, AlreadyQuarantinedAndPendingAndStale) {
    const auto custom = preview(FormatCleanupPresetKind::custom, {"AU"});
    EXPECT_EQ(exclusionLines(custom),
              (std::vector<QString>{"Echo AU alreadyQuarantined", "Hosted Comp - mandatoryShell"}));
    EXPECT_EQ(custom.exclusions.at(0).detail,
              u"Echo \u2014 AU: This format is already in reversible quarantine."_qs);
    EXPECT_EQ(candidateLines(custom), std::vector<QString>{"Alpha Synth AU"});
    EXPECT_TRUE(custom.warnings.empty());

    const auto pending = preview(FormatCleanupPresetKind::retireVST2, {}, true);
    EXPECT_TRUE(pending.candidates.empty());
    EXPECT_TRUE(pending.warnings.empty());
    EXPECT_EQ(exclusionLines(pending),
              (std::vector<QString>{"Alpha Synth VST2 pendingTransaction", "Delay VST2 pendingTransaction",
                                    "Odd VST2 pendingTransaction", "Old VST2 pendingTransaction",
                                    "Hosted Comp - mandatoryShell"}));
    EXPECT_EQ(pending.exclusions.at(0).detail,
              u"Alpha Synth \u2014 VST2: A previous privileged transaction still needs reconciliation."_qs);

    const auto stale = preview(FormatCleanupPresetKind::custom, {" aax", "AAX"}, true, true,
                               InventoryRevisionToken::fresh());
    EXPECT_TRUE(stale.candidates.empty());
    EXPECT_TRUE(stale.warnings.empty());
    ASSERT_EQ(stale.exclusions.size(), 1u);
    EXPECT_EQ(stale.exclusions[0],
              (FormatCleanupExclusion{std::nullopt, "Inventory", std::nullopt, Reason::staleInventory,
                                      "The inventory changed after this preset was previewed. "
                                      "Build a new preview before moving any files."}));
    EXPECT_EQ(stale.customFormatsToQuarantine, FormatSet{"AAX"});
    EXPECT_EQ(preview(FormatCleanupPresetKind::auOnly, {" aax", "AAX"}, false, true, revision)
                  .customFormatsToQuarantine,
              FormatSet{"AAX"});
}

TEST_F(FormatCleanupPlannerTest, MissingBundlesBecomeCandidatesWithoutTheDiskCheck) {
    const auto plan = preview(FormatCleanupPresetKind::retireVST2, {}, false, false);
    EXPECT_EQ(candidateLines(plan),
              (std::vector<QString>{"Alpha Synth VST2", "Odd VST2 unchecked", "Old VST2 unchecked"}));
}

TEST_F(FormatCleanupPlannerTest, EmptyInventory) {
    plugins.clear();
    const auto first = preview(FormatCleanupPresetKind::auOnly);
    const auto second = preview(FormatCleanupPresetKind::auOnly);
    EXPECT_TRUE(first.candidates.empty() && first.exclusions.empty() && first.warnings.empty());
    EXPECT_NE(first.id, second.id);
    EXPECT_EQ(first.affectedProductCount(), 0);
}

TEST_F(FormatCleanupPlannerTest, LargeRunsNeedSeveralTransactions) {
    for (const int count : {256, 257, 513}) {
        plugins.clear();
        for (int index = 0; index < count; ++index)
            plugins.push_back(product(QString("P%1").arg(index), "Acme",
                                      {active("VST2", vst2(QString("P%1.vst").arg(index)))}));
        const auto plan = preview(FormatCleanupPresetKind::retireVST2, {}, false, false);
        ASSERT_EQ(plan.candidates.size(), static_cast<size_t>(count));
        const auto& last = plan.warnings.back();
        if (count == 256) {
            EXPECT_EQ(last.kind, FormatCleanupWarningKind::noActiveFormatRemaining);
            continue;
        }
        EXPECT_EQ(last.kind, FormatCleanupWarningKind::largeRunRequiresMultipleTransactions);
        EXPECT_FALSE(last.pluginID);
        EXPECT_EQ(last.detail,
                  QString("%1 eligible bundles require %2 sequential helper transactions. Each child "
                          "stays atomic; the full run is not globally atomic.")
                      .arg(count)
                      .arg(count == 257 ? 2 : 3));
    }
}

TEST(FormatCleanupRulesTest, ProposalsAndExtensions) {
    using P = FormatCleanupPresetKind;
    EXPECT_TRUE(presetProposesFormat(P::auOnly, {}, "RTAS"));
    EXPECT_FALSE(presetProposesFormat(P::auOnly, {}, "AU"));
    EXPECT_FALSE(presetProposesFormat(P::auAndVST3, {}, "VST3"));
    EXPECT_TRUE(presetProposesFormat(P::auAndVST3, {}, "CLAP"));
    EXPECT_FALSE(presetProposesFormat(P::retireVST2, {}, "VST3"));
    EXPECT_TRUE(presetProposesFormat(P::noAAX, {}, "AAX"));
    EXPECT_TRUE(presetProposesFormat(P::custom, {"", "CLAP"}, ""));
    EXPECT_FALSE(presetProposesFormat(P::custom, {"CLAP"}, "clap"));
    EXPECT_EQ(normalizedCustomFormats({" vst3", "VST3\n", "  ", "aax"}), (FormatSet{"", "AAX", "VST3"}));

    EXPECT_TRUE(formatMatchesBundleExtension("AU", "/Library/Audio/Plug-Ins/Components/X.COMPONENT"));
    EXPECT_FALSE(formatMatchesBundleExtension("VST3", "/Library/Audio/Plug-Ins/VST3/X.vst"));
    EXPECT_FALSE(formatMatchesBundleExtension("RTAS", "/X.dpm"));
}

} // namespace
} // namespace quorvane
