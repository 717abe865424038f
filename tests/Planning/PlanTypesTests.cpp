#include "PlanningFixture.h"

#include "Planning/BundleActionPlan.h"
#include "Planning/BundleActionPlanner.h"
#include "Planning/FormatCleanupPlan.h"
#include "Planning/FormatCleanupPlanner.h"
#include "Planning/FormatCleanupRunRecord.h"
#include "Planning/PlanningOrders.h"
#include "Planning/RecordPlaces.h"
#include "Support/JsonWriter.h"
#include "Support/LocaleText.h"
#include "Support/StableSort.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

#include <unordered_set>

namespace quorvane {
namespace {

QJsonObject parse(const char* json) {
    return QJsonDocument::fromJson(QByteArray(json)).object();
}

const PluginBundleSelection selectionA{*parseUuid("00000000-0000-0000-0000-0000000000AA"), "VST3|/a.vst3"};

TEST(PlanTypesTest, EnumerationTextsAreExact) {
    EXPECT_EQ(bundleActionKindTexts().parse("quarantine"), BundleActionKind::quarantine);
    EXPECT_EQ(bundleActionKindTexts().parse("Quarantine"), std::nullopt);
    EXPECT_EQ(bundleActionBlockingReasonTexts().parse("tooManyItems"),
              BundleActionBlockingReason::tooManyItems);
    EXPECT_EQ(bundleActionBlockingReasonTexts().parse("toomanyitems"), std::nullopt);
    EXPECT_EQ(formatCleanupRunStatusTexts().parse("partiallyCompleted"),
              FormatCleanupRunStatus::partiallyCompleted);
    EXPECT_EQ(formatCleanupRunStatusTexts().parse("PartiallyCompleted"), std::nullopt);
    EXPECT_EQ(bundleActionBlockingReasonTexts().entries().size(), 10u);
    EXPECT_EQ(formatCleanupExclusionReasonTexts().entries().size(), 7u);
    EXPECT_EQ(
        formatCleanupWarningKindTexts().text(FormatCleanupWarningKind::largeRunRequiresMultipleTransactions),
        "largeRunRequiresMultipleTransactions");
}

TEST(PlanTypesTest, PresetsInOrderWithTitlesAndSummaries) {
    using P = FormatCleanupPresetKind;
    const std::vector<std::tuple<P, QString, QString, QString>> expected{
        {P::auOnly, "auOnly", "AU Only", "Keep AU active; propose every other installed format."},
        {P::auAndVST3, "auAndVST3", "AU + VST3", "Keep AU and VST3 active; propose all other formats."},
        {P::retireVST2, "retireVST2", "Retire VST2", "Propose legacy VST2 bundles only."},
        {P::noAAX, "noAAX", "No AAX", "Propose AAX bundles when Pro Tools is not part of the workflow."},
        {P::custom, "custom", "Custom", "Choose the exact formats to propose for quarantine."},
    };
    ASSERT_EQ(allFormatCleanupPresetKinds().size(), expected.size());
    for (size_t index = 0; index < expected.size(); ++index) {
        const auto& [kind, raw, presetTitle, presetSummary] = expected[index];
        EXPECT_EQ(allFormatCleanupPresetKinds()[index], kind);
        EXPECT_EQ(formatCleanupPresetKindTexts().text(kind), raw);
        EXPECT_EQ(formatCleanupPresetKindTexts().parse(raw), kind);
        EXPECT_EQ(title(kind), presetTitle);
        EXPECT_EQ(summary(kind), presetSummary);
    }
}

TEST(PlanTypesTest, RevisionTokenIsAnObject) {
    const InventoryRevisionToken token = InventoryRevisionToken::fresh();
    EXPECT_EQ(toJson(token), (QJsonObject{{"value", uuidText(token.value)}}));
    EXPECT_EQ(inventoryRevisionTokenFromJson(toJson(token)), token);
    EXPECT_FALSE(inventoryRevisionTokenFromJson(parse(R"({"value":"not a uuid"})")));
    EXPECT_NE(InventoryRevisionToken::fresh(), token);
}

TEST(PlanTypesTest, PlanItemOptionalKeys) {
    const BundleActionPlanItem item{selectionA, "Synth", "Acme", "VST3", "/a.vst3", {}, {}, {}};
    const QJsonObject json = toJson(item);
    EXPECT_FALSE(json.contains("destinationPath"));
    EXPECT_FALSE(json.contains("operationID"));
    EXPECT_FALSE(json.contains("sizeInBytes"));
    EXPECT_EQ(bundleActionPlanItemFromJson(json), item);
    QJsonObject nulls = json;
    nulls.insert("destinationPath", QJsonValue::Null);
    nulls.insert("operationID", QJsonValue::Null);
    nulls.insert("unknownKey", 3);
    EXPECT_EQ(bundleActionPlanItemFromJson(nulls), item);
    QJsonObject badSelection = json;
    badSelection.insert("selection", QJsonObject{{"pluginID", "x"}, {"bundleID", "VST3|/a.vst3"}});
    EXPECT_FALSE(bundleActionPlanItemFromJson(badSelection));
}

TEST(PlanTypesTest, PlanRoundTripAndRequiredKeys) {
    testing::PlanningFixture fixture;
    const Plugin synth = fixture.product("Synth", "Acme",
                                         {fixture.active("VST3", fixture.vst3("S.vst3")),
                                          fixture.active("AU", fixture.components("S.component"))});
    BundleActionPlan plan =
        makeBundleActionPlan(BundleActionKind::quarantine,
                             {fixture.select(synth, 0), fixture.select(synth, 1), fixture.select(synth, 1)},
                             {synth}, InventoryRevisionToken::fresh(), std::nullopt, makeUuid(), false,
                             fixture.fileSystem, std::nullopt, false, fixture.policy);
    ASSERT_EQ(plan.items.size(), 2u);
    ASSERT_EQ(plan.blockedSelections.size(), 1u);
    ASSERT_EQ(plan.productsLosingAllActiveFormats.size(), 1u);
    const QJsonObject json = toJson(plan);
    EXPECT_EQ(bundleActionPlanFromJson(json), plan);
    EXPECT_EQ(bundleActionPlanFromJson(QJsonDocument::fromJson(prettyJson(json)).object()), plan);

    BundleActionPlan copy = plan;
    EXPECT_EQ(copy, plan);
    copy.id = makeUuid();
    EXPECT_NE(copy, plan);

    BundleActionPlan direct = plan;
    direct.presetRunID.reset();
    direct.productsLosingAllActiveFormats.clear();
    const QJsonObject directJson = toJson(direct);
    EXPECT_FALSE(directJson.contains("presetRunID"));
    EXPECT_EQ(directJson.value("productsLosingAllActiveFormats"), QJsonArray());
    QJsonObject missing = directJson;
    missing.remove("productsLosingAllActiveFormats");
    EXPECT_FALSE(bundleActionPlanFromJson(missing));
    QJsonObject wrongKind = directJson;
    wrongKind.insert("operation", "Quarantine");
    EXPECT_FALSE(bundleActionPlanFromJson(wrongKind));
    QJsonObject bareRevision = directJson;
    bareRevision.insert("inventoryRevision", uuidText(plan.inventoryRevision.value));
    EXPECT_FALSE(bundleActionPlanFromJson(bareRevision));
}

TEST(PlanTypesTest, CleanupPlanRoundTrip) {
    testing::PlanningFixture fixture;
    std::vector<Plugin> plugins{
        fixture.product("Synth", "Acme", {fixture.active("VST2", fixture.vst2("S.vst"))}),
        fixture.product("Shell", "Waves", {}, PluginStatus::hostedByShell),
    };
    const FormatCleanupPlan plan = makeFormatCleanupPlan(
        FormatCleanupPresetKind::custom, {"vst2", "AAX"}, plugins, InventoryRevisionToken::fresh(),
        std::nullopt, false, fixture.fileSystem, false, fixture.policy);
    ASSERT_EQ(plan.candidates.size(), 1u);
    ASSERT_EQ(plan.exclusions.size(), 1u);
    ASSERT_EQ(plan.warnings.size(), 1u);
    const QJsonObject json = toJson(plan);
    EXPECT_EQ(json.value("customFormatsToQuarantine"), (QJsonArray{"AAX", "VST2"}));
    EXPECT_EQ(formatCleanupPlanFromJson(json), plan);

    const QJsonObject exclusion = toJson(plan.exclusions[0]);
    EXPECT_FALSE(exclusion.contains("selection"));
    EXPECT_FALSE(exclusion.contains("format"));
    EXPECT_EQ(formatCleanupExclusionFromJson(exclusion), plan.exclusions[0]);

    const FormatCleanupWarning large{FormatCleanupWarningKind::largeRunRequiresMultipleTransactions, {}, "x"};
    EXPECT_FALSE(toJson(large).contains("pluginID"));
    EXPECT_EQ(formatCleanupWarningFromJson(toJson(large)), large);

    QJsonObject candidate = toJson(plan.candidates[0]);
    candidate.remove("selectedByDefault");
    EXPECT_FALSE(formatCleanupCandidateFromJson(candidate));
    for (const char* key : {"id", "preset", "customFormatsToQuarantine", "inventoryRevision", "candidates",
                            "exclusions", "warnings"}) {
        QJsonObject incomplete = json;
        incomplete.remove(key);
        EXPECT_FALSE(formatCleanupPlanFromJson(incomplete)) << key;
    }
}

TEST(PlanTypesTest, DefaultSelectionsAndAffectedProducts) {
    const QUuid a = makeUuid();
    const QUuid b = makeUuid();
    const auto candidate = [](QUuid plugin, const QString& key, bool byDefault) {
        return FormatCleanupCandidate{{plugin, key}, "N", "M", "VST2", "/p", {}, !byDefault, byDefault};
    };
    FormatCleanupPlan plan;
    EXPECT_TRUE(plan.defaultSelections().empty());
    EXPECT_EQ(plan.affectedProductCount(), 0);
    // A selection listed twice is chosen once, in the order first seen.
    plan.candidates = {candidate(a, "VST2|/1", true), candidate(a, "VST3|/2", true),
                       candidate(a, "VST2|/1", true), candidate(b, "VST2|/3", false)};
    EXPECT_EQ(plan.defaultSelections(), (std::vector<PluginBundleSelection>{{a, "VST2|/1"}, {a, "VST3|/2"}}));
    EXPECT_EQ(plan.affectedProductCount(), 2);
    plan.candidates = {candidate(b, "VST2|/3", false)};
    EXPECT_TRUE(plan.defaultSelections().empty());
    EXPECT_EQ(plan.affectedProductCount(), 1);
}

TEST(PlanTypesTest, RunRecordRoundTripAndRequiredKeys) {
    const FormatCleanupRunRecord record{makeUuid(),
                                        makeUuid(),
                                        FormatCleanupPresetKind::retireVST2,
                                        Timestamp{786'000'000.123456},
                                        FormatCleanupRunStatus::partiallyCompleted,
                                        {selectionA, {makeUuid(), "AU|/b.component"}},
                                        {makeUuid(), makeUuid()}};
    const QJsonObject json = toJson(record);
    EXPECT_EQ(json.keys(), (QStringList{"childTransactionIDs", "createdAt", "id", "planID", "preset",
                                        "selections", "status"}));
    EXPECT_EQ(json.value("status"), "partiallyCompleted");
    EXPECT_EQ(json.value("createdAt").toDouble(), 786'000'000.123456);
    EXPECT_EQ(formatCleanupRunRecordFromJson(json), record);
    EXPECT_EQ(formatCleanupRunRecordFromJson(QJsonDocument::fromJson(prettyJson(json)).object()), record);

    for (const QString& key : json.keys()) {
        QJsonObject incomplete = json;
        incomplete.remove(key);
        EXPECT_FALSE(formatCleanupRunRecordFromJson(incomplete)) << key.toStdString();
    }
    QJsonObject empty = json;
    empty.insert("childTransactionIDs", QJsonArray());
    EXPECT_EQ(formatCleanupRunRecordFromJson(empty)->childTransactionIDs, std::vector<QUuid>{});
    QJsonObject wrongCase = json;
    wrongCase.insert("status", "PartiallyCompleted");
    EXPECT_FALSE(formatCleanupRunRecordFromJson(wrongCase));
    QJsonObject badChild = json;
    badChild.insert("childTransactionIDs", QJsonArray{"{not-a-uuid}"});
    EXPECT_FALSE(formatCleanupRunRecordFromJson(badChild));
}

// `same` differs from `value` only in how its texts are encoded; `other` differs in content.
template <class T>
void expectEqualAndHashedAlike(const T& value, const T& same, const T& other) {
    EXPECT_TRUE(value == same);
    EXPECT_FALSE(value == other);
    EXPECT_EQ(qHash(value), qHash(same));
    EXPECT_EQ(std::hash<T>{}(value), std::hash<T>{}(same));
    const QSet<T> qtSet{value, other};
    EXPECT_EQ(qtSet.size(), 2);
    EXPECT_TRUE(qtSet.contains(same));
    const std::unordered_set<T> standardSet{value, same, other};
    EXPECT_EQ(standardSet.size(), 2u);
    EXPECT_EQ(standardSet.count(same), 1u);
}

TEST(PlanTypesTest, ValuesWithCanonicallyEqualTextsAreEqualAndHashAlike) {
    const QString composed = QString::fromUtf8("Caf\xC3\xA9");
    const QString decomposed = QString::fromUtf8("Cafe\xCC\x81");
    const QString different = QStringLiteral("Cafe");
    const QUuid planID = makeUuid();
    const QUuid runID = makeUuid();
    const InventoryRevisionToken revision = InventoryRevisionToken::fresh();

    const auto selection = [&](const QString& text) {
        return PluginBundleSelection{selectionA.pluginID, "VST3|/" + text + ".vst3"};
    };
    const auto blocked = [&](const QString& text) {
        return BundleActionBlockedSelection{selection(text), BundleActionBlockingReason::protectedBundle,
                                            text + ": protected."};
    };
    const auto item = [&](const QString& text) {
        return BundleActionPlanItem{selection(text), text, text, "VST3", "/" + text, "/Q/" + text, 12, "op"};
    };
    const auto plan = [&](const QString& text) {
        return BundleActionPlan{planID, BundleActionKind::quarantine, revision, {item(text)}, {blocked(text)},
                                runID,  {selectionA.pluginID}};
    };
    const auto candidate = [&](const QString& text) {
        return FormatCleanupCandidate{selection(text), text, text, "VST3", "/" + text, 12, false, true};
    };
    const auto exclusion = [&](const QString& text) {
        return FormatCleanupExclusion{selection(text), text, text.toUpper(),
                                      FormatCleanupExclusionReason::unsafePath, text + "."};
    };
    const auto warning = [&](const QString& text) {
        return FormatCleanupWarning{FormatCleanupWarningKind::noActiveFormatRemaining, selectionA.pluginID,
                                    text};
    };
    const auto cleanupPlan = [&](const QString& text) {
        return FormatCleanupPlan{planID,
                                 FormatCleanupPresetKind::custom,
                                 {"VST2", text.toUpper()},
                                 revision,
                                 {candidate(text)},
                                 {exclusion(text)},
                                 {warning(text)}};
    };

    expectEqualAndHashedAlike(revision, InventoryRevisionToken{revision.value},
                              InventoryRevisionToken::fresh());
    expectEqualAndHashedAlike(blocked(composed), blocked(decomposed), blocked(different));
    expectEqualAndHashedAlike(item(composed), item(decomposed), item(different));
    expectEqualAndHashedAlike(plan(composed), plan(decomposed), plan(different));
    expectEqualAndHashedAlike(candidate(composed), candidate(decomposed), candidate(different));
    expectEqualAndHashedAlike(exclusion(composed), exclusion(decomposed), exclusion(different));
    expectEqualAndHashedAlike(warning(composed), warning(decomposed), warning(different));
    expectEqualAndHashedAlike(cleanupPlan(composed), cleanupPlan(decomposed), cleanupPlan(different));
    const FormatCleanupRunRecord record{runID,
                                        planID,
                                        FormatCleanupPresetKind::custom,
                                        Timestamp{1.5},
                                        FormatCleanupRunStatus::completed,
                                        {selection(composed)},
                                        {makeUuid()}};
    FormatCleanupRunRecord same = record;
    same.selections = {selection(decomposed)};
    FormatCleanupRunRecord canceled = record;
    canceled.status = FormatCleanupRunStatus::canceled;
    expectEqualAndHashedAlike(record, same, canceled);
}

TEST(PlanningOrdersTest, SelectionsByProductTextThenBundle) {
    const QUuid low = *parseUuid("10000000-0000-0000-0000-000000000000");
    const QUuid high = *parseUuid("A0000000-0000-0000-0000-000000000000");
    std::vector<PluginBundleSelection> selections{
        {high, "AU|/a"}, {low, "VST3|/z"}, {low, "AU|/z"}, {low, "AU|/b"}};
    stableMergeSort(selections, bundleSelectionOrder);
    EXPECT_EQ(selections, (std::vector<PluginBundleSelection>{
                              {low, "AU|/b"}, {low, "AU|/z"}, {low, "VST3|/z"}, {high, "AU|/a"}}));
}

TEST(PlanningOrdersTest, CleanupProductsAndRecords) {
    setTextLocale("en_US");
    const auto product = [](const QString& name, const QString& manufacturer) {
        return testing::PlanningFixture::product(name, manufacturer, {});
    };
    std::vector<Plugin> plugins{product("Alpha", "Beta"), product("Synth 10", "Acme"),
                                product("Zeta", "Acme"), product("Synth 2", "Acme")};
    stableMergeSort(plugins, cleanupPluginOrder);
    QStringList names;
    for (const auto& plugin : plugins)
        names.append(plugin.name);
    EXPECT_EQ(names, (QStringList{"Synth 2", "Synth 10", "Zeta", "Alpha"}));

    using testing::PlanningFixture;
    std::vector<PluginBundleRecord> records{
        PlanningFixture::active("RTAS", "/b"), PlanningFixture::active("CLAP", "/a"),
        PlanningFixture::active("VST3", "/a"), PlanningFixture::active("OTHER", "/a"),
        PlanningFixture::active("aax", "/a"),  PlanningFixture::active("VST2", "/a"),
        PlanningFixture::active("AU", "/x10"), PlanningFixture::active("AU", "/x9")};
    stableMergeSort(records, bundleRecordFormatOrder);
    QStringList order;
    for (const auto& record : records)
        order.append(record.format + record.path);
    EXPECT_EQ(order,
              (QStringList{"AU/x9", "AU/x10", "VST2/a", "VST3/a", "aax/a", "CLAP/a", "OTHER/a", "RTAS/b"}));
}

// The walk over every product's places must name the places the planner's records have, including
// the record a product without stored ones is given.
TEST(RecordPlacesTest, ThePlaceWalkNamesWhatThePlannerRecordsHold) {
    using testing::bundleRecord;
    using testing::productOfRecords;
    using testing::productWithoutRecords;
    using testing::withQuarantine;
    const auto single = [](const QString& path) {
        return productWithoutRecords(QStringLiteral("P"), QStringLiteral("M"), {QStringLiteral("VST3")},
                                     path);
    };
    Plugin quarantinedSingle = single(QStringLiteral("/a.vst3"));
    quarantinedSingle.quarantinePath = QStringLiteral("/q/a.vst3");
    quarantinedSingle.quarantineOperationID = QStringLiteral("OP");
    Plugin halfQuarantined = single(QStringLiteral("/b.vst3"));
    halfQuarantined.quarantinePath = QStringLiteral("/q/b.vst3");
    Plugin hosted = single(QStringLiteral("/c.vst3"));
    hosted.status = PluginStatus::hostedByShell;
    const std::vector<Plugin> products{
        single(QStringLiteral("/d.vst3")),
        quarantinedSingle,
        halfQuarantined,
        hosted,
        productWithoutRecords(QStringLiteral("P"), QStringLiteral("M"),
                              {QStringLiteral("AU"), QStringLiteral("VST3")}, QStringLiteral("/e.component")),
        productOfRecords(
            QStringLiteral("P"), QStringLiteral("M"),
            {bundleRecord(QStringLiteral("AU"), QStringLiteral("/f.component")),
             withQuarantine(bundleRecord(QStringLiteral("VST3"), QStringLiteral("/q/f.vst3")),
                            QStringLiteral("/f.vst3"), QStringLiteral("/q/f.vst3"), QStringLiteral("OP"))}),
    };
    for (const Plugin& product : products) {
        SCOPED_TRACE(product.path.toStdString());
        std::vector<std::pair<std::size_t, QString>> records;
        forEachPlannerRecord(product, [&](std::size_t index, const PluginBundleRecord& record) {
            records.emplace_back(index, placeOf(record));
        });
        std::vector<std::pair<std::size_t, QString>> places;
        forEachPlannerPlace(
            product, [&](std::size_t index, const QString& place) { places.emplace_back(index, place); });
        EXPECT_EQ(places, records);
    }
}

} // namespace
} // namespace quorvane
