#include "Persistence/PersistedInventory.h"

#include "Support/Uuid.h"

#include <gtest/gtest.h>

#include <QJsonDocument>

namespace quorvane {
namespace {

const QByteArray minimalPlugin = R"({"id": "0F8FAD5B-D9CB-469F-A165-70867728950E", "name": "Pro-Q 3",
    "manufacturer": "FabFilter", "version": "3.28", "formats": ["VST3"], "architecture": "Universal",
    "size": "39.8 MB", "path": "/Library/Audio/Plug-Ins/VST3/Pro-Q 3.vst3", "status": "OK",
    "isProtected": false)";

QByteArray documentWith(const QByteArray& extraKeys, const QByteArray& pluginKeys = {}) {
    QByteArray plugin = minimalPlugin + pluginKeys + "}";
    QByteArray document = R"({"plugins": [)" + plugin + R"(], "protectedKeys": [], "history": [])";
    if (!extraKeys.isEmpty())
        document += ", " + extraKeys;
    return document + "}";
}

[[nodiscard]] std::expected<PersistedInventory, JsonError> decoded(const QByteArray& document) {
    return decodePersistedInventory(document);
}

TEST(PersistedInventoryDecoding, RequiredKeysMissingNullOrIllTypedRejectTheDocument) {
    const std::vector<std::pair<const char*, QByteArray>> documents = {
        {"no plugins", R"({"protectedKeys": [], "history": []})"},
        {"no protectedKeys", R"({"plugins": [], "history": []})"},
        {"no history", R"({"plugins": [], "protectedKeys": []})"},
        {"null history", R"({"plugins": [], "protectedKeys": [], "history": null})"},
        {"plugins not an array", R"({"plugins": {}, "protectedKeys": [], "history": []})"},
        {"protectedKeys holding a number", R"({"plugins": [], "protectedKeys": [1], "history": []})"},
        {"schemaVersion as text",
         R"({"schemaVersion": "3", "plugins": [], "protectedKeys": [], "history": []})"},
        {"fractional schemaVersion",
         R"({"schemaVersion": 2.5, "plugins": [], "protectedKeys": [], "history": []})"},
        {"lastScanDate as text",
         R"({"lastScanDate": "2024-01-01", "plugins": [], "protectedKeys": [], "history": []})"},
        {"top level an array", R"([])"},
        {"not JSON", R"({"plugins": [)"},
    };
    for (const auto& [name, document] : documents)
        EXPECT_FALSE(decoded(document).has_value()) << name;
}

TEST(PersistedInventoryDecoding, OptionalKeysAbsentOrNullReadAsAbsentAndUnknownKeysAreIgnored) {
    const auto absent = decoded(documentWith({}));
    ASSERT_TRUE(absent.has_value()) << absent.error().description().toStdString();
    EXPECT_EQ(absent->schemaVersion, std::nullopt);
    EXPECT_EQ(absent->lastScanDate, std::nullopt);
    EXPECT_EQ(absent->trashedBundles, std::nullopt);
    EXPECT_EQ(absent->pendingPrivilegedTrashRestore, std::nullopt);

    const auto nulls = decoded(documentWith(
        R"("schemaVersion": null, "lastScanDate": null, "inaccessibleLocations": null,
           "lastReconciliation": null, "trashedBundles": null, "formatCleanupRuns": null,
           "permanentQuarantineRules": null, "pendingPrivilegedQuarantine": null,
           "pendingPrivilegedRestore": null, "pendingPrivilegedTrash": null,
           "pendingPrivilegedTrashRestore": null, "futureField": {"anything": [1, 2]})"));
    ASSERT_TRUE(nulls.has_value()) << nulls.error().description().toStdString();
    EXPECT_EQ(*nulls, *absent);
}

TEST(PersistedInventoryDecoding, EnumerationTextsMustMatchExactly) {
    const std::vector<std::pair<QByteArray, bool>> cases = {
        {R"("history": [{"id": "6A1B0C2D-3E4F-4A5B-8C6D-7E8F9A0B1C2D", "plugin": "Inventory",
            "kind": "Scan Completed", "detail": "Done.", "time": "9:41 AM"}])",
         true},
        {R"("history": [{"id": "6A1B0C2D-3E4F-4A5B-8C6D-7E8F9A0B1C2D", "plugin": "Inventory",
            "kind": "scan completed", "detail": "Done.", "time": "9:41 AM"}])",
         false},
    };
    for (const auto& [history, readable] : cases) {
        const QByteArray document = R"({"plugins": [], "protectedKeys": [], )" + history + "}";
        EXPECT_EQ(decoded(document).has_value(), readable) << document.constData();
    }

    EXPECT_FALSE(decoded(documentWith({}).replace("\"OK\"", "\"ok\"")).has_value());
    const QByteArray quarantinedWord = documentWith({}).replace("\"OK\"", "\"Quarantined\"");
    EXPECT_FALSE(decoded(quarantinedWord).has_value());
    const QByteArray readyToRestore = documentWith({}).replace("\"OK\"", "\"Ready to Restore\"");
    ASSERT_TRUE(decoded(readyToRestore).has_value());
    EXPECT_EQ(decoded(readyToRestore)->plugins.front().status, PluginStatus::quarantined);

    const QByteArray run = R"("formatCleanupRuns": [{"id": "11111111-2222-4333-8444-555555555555",
        "planID": "66666666-7777-4888-9999-AAAAAAAAAAAA", "preset": "auOnly", "createdAt": 740000000.5,
        "status": "STATUS", "selections": [], "childTransactionIDs": []}])";
    EXPECT_TRUE(decoded(documentWith(QByteArray(run).replace("STATUS", "partiallyCompleted"))).has_value());
    EXPECT_FALSE(decoded(documentWith(QByteArray(run).replace("STATUS", "PartiallyCompleted"))).has_value());
}

TEST(PersistedInventoryDecoding, EmptyAndAbsentBundlesStayDistinctAndAMissingBundleFlagReadsFalse) {
    const auto absent = decoded(documentWith({}));
    ASSERT_TRUE(absent.has_value());
    EXPECT_EQ(absent->plugins.front().bundles, std::nullopt);

    const auto empty = decoded(documentWith({}, R"(, "bundles": [])"));
    ASSERT_TRUE(empty.has_value());
    ASSERT_TRUE(empty->plugins.front().bundles.has_value());
    EXPECT_TRUE(empty->plugins.front().bundles->empty());

    const auto noFlag =
        decoded(documentWith({}, R"(, "bundles": [{"format": "VST3", "architecture": "Universal",
        "size": "39.8 MB", "path": "/Library/Audio/Plug-Ins/VST3/Pro-Q 3.vst3"}])"));
    ASSERT_TRUE(noFlag.has_value()) << noFlag.error().description().toStdString();
    EXPECT_FALSE(noFlag->plugins.front().bundles->front().isProtected);

    const QJsonObject written = toJson(*noFlag);
    const QJsonObject plugin = written.value(u"plugins").toArray().first().toObject();
    EXPECT_EQ(plugin.value(u"bundles").toArray().first().toObject().value(u"isProtected"), QJsonValue(false));
    EXPECT_FALSE(toJson(*absent).value(u"plugins").toArray().first().toObject().contains(u"bundles"));
    EXPECT_EQ(toJson(*empty).value(u"plugins").toArray().first().toObject().value(u"bundles"),
              QJsonValue(QJsonArray()));
}

TEST(PersistedInventoryDecoding, ANestedRecordThatDoesNotDecodeRejectsTheDocument) {
    const std::vector<QByteArray> nested = {
        R"("lastReconciliation": {"addedBundles": 1, "missingBundles": 0, "manuallyRestoredBundles": 0})",
        R"("pendingPrivilegedQuarantine": {"transactionID": "11111111-2222-4333-8444-555555555555"})",
        R"("pendingPrivilegedTrash": [])",
        R"("trashedBundles": [{"id": "11111111-2222-4333-8444-555555555555", "pluginName": "X",
            "manufacturer": "Y", "format": "VST3", "originalPath": "/a.vst3", "trashPath": "/b.vst3"}])",
        R"("permanentQuarantineRules": [{"manufacturer": "Waves"}])",
    };
    for (const QByteArray& keys : nested) {
        const auto result = decoded(documentWith(keys));
        ASSERT_FALSE(result.has_value()) << keys.constData();
        EXPECT_FALSE(result.error().description().isEmpty());
    }
    // The error names the nested key, not only its parent.
    const auto reconciliation = decoded(documentWith(nested.front()));
    EXPECT_EQ(reconciliation.error().key, QStringLiteral("lastReconciliation.missingCheckWasLimited"));
}

TEST(PersistedInventoryDecoding, AMissingBundleRecordKeyOrProductFlagRejectsTheDocument) {
    EXPECT_FALSE(decoded(documentWith({}, R"(, "bundles": [{"format": "VST3", "architecture": "Universal",
        "size": "39.8 MB"}])"))
                     .has_value());
    const QByteArray withoutFlag = documentWith({}).replace("\"isProtected\"", "\"isProtectedLater\"");
    EXPECT_FALSE(decoded(withoutFlag).has_value());
}

TEST(PersistedInventoryEncoding, AllOptionalFieldsAbsentWritesOnlyTheThreeRequiredKeys) {
    const QByteArray bytes = encodePersistedInventory(PersistedInventory{});
    EXPECT_EQ(bytes, QByteArray("{\n"
                                "    \"history\": [\n"
                                "    ],\n"
                                "    \"plugins\": [\n"
                                "    ],\n"
                                "    \"protectedKeys\": [\n"
                                "    ]\n"
                                "}\n"));
}

} // namespace
} // namespace quorvane
