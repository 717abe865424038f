#include "Model/OperationNotice.h"
#include "Model/Plugin.h"
#include "Model/PluginBundleRecord.h"
#include "Model/PluginStatus.h"

#include "ModelFixtures.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <gtest/gtest.h>

namespace quorvane {
namespace {

using testing::activeRecord;
using testing::jsonObject;
using testing::quarantinedRecord;

QByteArray compact(const QJsonObject& object) {
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

const char* const kProductJson = R"({
    "id": "6f1c3a52-8d4e-4b1a-9a57-0c2e5d7b9f13",
    "name": "Pro-Q 3",
    "manufacturer": "FabFilter",
    "version": "3.21",
    "formats": ["VST3"],
    "architecture": "Universal",
    "size": "45.2 MB",
    "path": "/Library/Audio/Plug-Ins/VST3/Pro-Q 3.vst3",
    "status": "OK",
    "isProtected": false
})";

TEST(PluginStatusTest, RawValuesAreTheDisplayTextsInOrder) {
    const std::vector<std::pair<PluginStatus, QString>> expected{
        {PluginStatus::ok, "OK"},
        {PluginStatus::legacy, "Legacy"},
        {PluginStatus::protected_, "Protected"},
        {PluginStatus::partiallyProtected, "Partially Protected"},
        {PluginStatus::quarantined, "Ready to Restore"},
        {PluginStatus::partiallyQuarantined, "Partially Quarantined"},
        {PluginStatus::sharedShell, "Shared Shell"},
        {PluginStatus::hostedByShell, "Hosted by WaveShell"},
    };
    EXPECT_EQ(pluginStatusTable().entries(), expected);
    for (const auto& [status, text] : expected)
        EXPECT_EQ(pluginStatusFromRawValue(text), status) << text.toStdString();
}

TEST(PluginStatusTest, OnlyExactRawValuesConvert) {
    for (const char* text :
         {"ok", "Ok", "Quarantined", "quarantined", "ready to restore", "Protected ", " OK", ""})
        EXPECT_EQ(pluginStatusFromRawValue(QString::fromUtf8(text)), std::nullopt) << text;
}

TEST(PluginBundleRecordJsonTest, MissingIsProtectedReadsFalseAndIsWrittenBack) {
    const auto record = pluginBundleRecordFromJson(
        jsonObject(R"({"format":"VST3","architecture":"Intel","size":"1 MB","path":"/a/B.vst3"})"));
    ASSERT_TRUE(record.has_value());
    EXPECT_FALSE(record->isProtected);
    EXPECT_EQ(
        compact(toJson(*record)),
        QByteArray(
            R"({"architecture":"Intel","format":"VST3","isProtected":false,"path":"/a/B.vst3","size":"1 MB"})"));
}

TEST(PluginBundleRecordJsonTest, OptionalFieldsRoundTripAndNullReadsAsAbsent) {
    PluginBundleRecord record =
        quarantinedRecord("AU", "/Library/Audio/Plug-Ins/Components/X.component",
                          "/Library/Application Support/Quorvane/Quarantine/Op/X.component");
    record.presetRunID = QUuid("{2b7e1516-28ae-4d2a-abf7-158809cf4f3c}");
    record.isProtected = true;
    const QJsonObject json = toJson(record);
    EXPECT_EQ(json.value("presetRunID").toString(), "2B7E1516-28AE-4D2A-ABF7-158809CF4F3C");
    EXPECT_EQ(pluginBundleRecordFromJson(json), record);

    const auto withNulls = pluginBundleRecordFromJson(
        jsonObject(R"({"format":"AU","architecture":"x","size":"1","path":"/p.component","originalPath":null,
                       "quarantinePath":null,"quarantineOperationID":null,"presetRunID":null,"isProtected":null})"));
    ASSERT_TRUE(withNulls.has_value());
    EXPECT_EQ(withNulls->originalPath, std::nullopt);
    EXPECT_EQ(withNulls->presetRunID, std::nullopt);
    EXPECT_FALSE(withNulls->isProtected);
    EXPECT_EQ(
        compact(toJson(*withNulls)),
        QByteArray(
            R"({"architecture":"x","format":"AU","isProtected":false,"path":"/p.component","size":"1"})"));
}

TEST(PluginBundleRecordJsonTest, RequiredFieldsAndTypesAreEnforced) {
    const QJsonObject complete =
        jsonObject(R"({"format":"VST3","architecture":"x","size":"1","path":"/a.vst3"})");
    for (const char* key : {"format", "architecture", "size", "path"}) {
        QJsonObject object = complete;
        object.remove(key);
        const auto decoded = pluginBundleRecordFromJson(object, "bundles[0]");
        ASSERT_FALSE(decoded.has_value()) << key;
        EXPECT_EQ(decoded.error().key, QStringLiteral("bundles[0].") + key);
    }
    QJsonObject badFlag = complete;
    badFlag.insert("isProtected", 1);
    EXPECT_FALSE(pluginBundleRecordFromJson(badFlag).has_value());
    QJsonObject badRun = complete;
    badRun.insert("presetRunID", "{2b7e1516-28ae-4d2a-abf7-158809cf4f3c}");
    EXPECT_FALSE(pluginBundleRecordFromJson(badRun).has_value());
}

TEST(PluginJsonTest, DecodesAndWritesSortedWithUpperCaseUuid) {
    const auto plugin = pluginFromJson(jsonObject(kProductJson));
    ASSERT_TRUE(plugin.has_value());
    EXPECT_EQ(plugin->id, QUuid("{6f1c3a52-8d4e-4b1a-9a57-0c2e5d7b9f13}"));
    EXPECT_EQ(plugin->status, PluginStatus::ok);
    EXPECT_EQ(plugin->bundles, std::nullopt);
    EXPECT_EQ(
        compact(toJson(*plugin)),
        QByteArray(
            R"({"architecture":"Universal","formats":["VST3"],"id":"6F1C3A52-8D4E-4B1A-9A57-0C2E5D7B9F13",)"
            R"("isProtected":false,"manufacturer":"FabFilter","name":"Pro-Q 3",)"
            R"("path":"/Library/Audio/Plug-Ins/VST3/Pro-Q 3.vst3","size":"45.2 MB","status":"OK",)"
            R"("version":"3.21"})"));
}

TEST(PluginJsonTest, EveryRequiredFieldIsRequired) {
    for (const char* key : {"id", "name", "manufacturer", "version", "formats", "architecture", "size",
                            "path", "status", "isProtected"}) {
        QJsonObject object = jsonObject(kProductJson);
        object.remove(key);
        const auto decoded = pluginFromJson(object);
        ASSERT_FALSE(decoded.has_value()) << key;
        EXPECT_EQ(decoded.error().key, QString::fromUtf8(key));
    }
}

TEST(PluginJsonTest, StatusMustBeExactlyOneRawValue) {
    for (const char* status : {"ok", "Quarantined", "ready to restore", "quarantined"}) {
        QJsonObject object = jsonObject(kProductJson);
        object.insert("status", status);
        EXPECT_FALSE(pluginFromJson(object).has_value()) << status;
    }
    QJsonObject object = jsonObject(kProductJson);
    object.insert("status", "Ready to Restore");
    EXPECT_EQ(pluginFromJson(object)->status, PluginStatus::quarantined);
}

TEST(PluginJsonTest, EmptyBundlesStayEmptyAndAbsentStayAbsent) {
    QJsonObject object = jsonObject(kProductJson);
    object.insert("bundles", QJsonArray());
    const auto withEmpty = pluginFromJson(object);
    ASSERT_TRUE(withEmpty.has_value());
    ASSERT_TRUE(withEmpty->bundles.has_value());
    EXPECT_TRUE(withEmpty->bundles->empty());
    EXPECT_EQ(toJson(*withEmpty).value("bundles"), QJsonValue(QJsonArray()));

    const auto withoutBundles = pluginFromJson(jsonObject(kProductJson));
    EXPECT_FALSE(toJson(*withoutBundles).contains("bundles"));
    EXPECT_NE(*withEmpty, *withoutBundles);
}

TEST(PluginJsonTest, NestedBundleErrorsFailTheProductWithTheirPath) {
    QJsonObject object = jsonObject(kProductJson);
    object.insert("bundles",
                  QJsonArray{jsonObject(R"({"format":"VST3","architecture":"x","size":"1","path":"/a"})"),
                             jsonObject(R"({"format":"AU","architecture":"x","size":"1"})")});
    const auto decoded = pluginFromJson(object, "plugins[4]");
    ASSERT_FALSE(decoded.has_value());
    EXPECT_EQ(decoded.error().key, "plugins[4].bundles[1].path");
}

TEST(PluginJsonTest, FullProductRoundTrips) {
    Plugin plugin = testing::product("Diva", "u-he", std::vector<PluginBundleRecord>{}, {"AU", "VST3"});
    plugin.status = PluginStatus::partiallyQuarantined;
    plugin.originalPath = "/Library/Audio/Plug-Ins/VST3/Diva.vst3";
    plugin.quarantinePath = "/q/Diva.vst3";
    plugin.quarantineOperationID = "op";
    plugin.bundles = {activeRecord("AU", "/Library/Audio/Plug-Ins/Components/Diva.component", true),
                      quarantinedRecord("VST3", "/Library/Audio/Plug-Ins/VST3/Diva.vst3", "/q/Diva.vst3")};
    EXPECT_EQ(pluginFromJson(toJson(plugin)), plugin);
}

TEST(PluginBundleRecordTest, QuarantinedCopyKeepsTheActiveRecordsIdentityButIsAnotherValue) {
    const PluginBundleRecord active = activeRecord("VST3", "/Library/Audio/Plug-Ins/VST3/Foo.vst3");
    const PluginBundleRecord quarantined =
        quarantinedRecord("VST3", "/Library/Audio/Plug-Ins/VST3/Foo.vst3", "/q/op/Foo.vst3");
    EXPECT_EQ(active.id(), quarantined.id());
    EXPECT_EQ(active.id(), "VST3|/library/audio/plug-ins/vst3/foo.vst3");
    EXPECT_NE(active, quarantined);
    PluginBundleRecord protectedCopy = active;
    protectedCopy.isProtected = true;
    EXPECT_EQ(protectedCopy.id(), active.id());
    EXPECT_NE(protectedCopy, active);
}

TEST(PluginBundleRecordTest, EqualityAndHashTreatCanonicallyEquivalentTextAlike) {
    PluginBundleRecord composed =
        activeRecord("VST3", QString::fromUtf8("/Library/Audio/Plug-Ins/VST3/\u00C9clat.vst3"));
    PluginBundleRecord decomposed =
        activeRecord("VST3", QString::fromUtf8("/Library/Audio/Plug-Ins/VST3/E\u0301clat.vst3"));
    EXPECT_EQ(composed, decomposed);
    EXPECT_EQ(qHash(composed), qHash(decomposed));
    Plugin a = testing::product("X", "Y", std::vector{composed});
    Plugin b = a;
    b.bundles = std::vector{decomposed};
    EXPECT_EQ(a, b);
    EXPECT_EQ(qHash(a), qHash(b));
    decomposed.path += "x";
    b.bundles = std::vector{decomposed};
    EXPECT_NE(a, b);
}

TEST(OperationNoticeTest, EveryNoticeGetsAFreshId) {
    const OperationNotice first =
        OperationNotice::make("Scan Complete", "Found 3 plugins.", NoticeStyle::success);
    const OperationNotice second =
        OperationNotice::make("Scan Complete", "Found 3 plugins.", NoticeStyle::success);
    EXPECT_FALSE(first.id.isNull());
    EXPECT_NE(first.id, second.id);
    EXPECT_NE(first, second);
    EXPECT_EQ(first, first);
}

} // namespace
} // namespace quorvane
