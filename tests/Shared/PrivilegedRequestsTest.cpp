#include "Shared/PrivilegedRequests.h"

#include <QJsonArray>
#include <QJsonDocument>

#include "Support/Fixtures/FixtureQtPrinters.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

const QString kTransaction = QStringLiteral("0F8FAD5B-D9CB-469F-A165-70867728950E");
const QString kOperation = QStringLiteral("7C9E6679-7425-40DE-944B-E07FC1F90AE7");

PrivilegedQuarantineRequest quarantineRequest() {
    return {kTransaction,
            {{"/Library/Audio/Plug-Ins/VST3/Synth.vst3",
              "/Library/Application Support/Quorvane/Quarantine/" + kOperation + "/Synth.vst3", kOperation},
             {"/Library/Audio/Plug-Ins/Components/Ünïcode “Synth”.component",
              "/Library/Application Support/Quorvane/Quarantine/" + kOperation + "/Ünïcode “Synth”.component",
              kOperation}}};
}

PrivilegedTrashRestoreRequest trashRestoreRequest() {
    return {kTransaction,
            {{"/home/ada/.local/share/Trash/files/Synth 2.vst3", "/Library/Audio/Plug-Ins/VST3/Synth.vst3",
              "A1B2C3D4-0000-4000-8000-000000000001", "Synth.vst3", "VST3"}}};
}

TEST(PrivilegedRequests, EncodeWritesEveryKeyCompactly) {
    const PrivilegedTrashRequest request{"id", {{"", "", ""}}};
    EXPECT_EQ(
        encode(request),
        QByteArray(
            R"({"items":[{"destinationPath":"","operationID":"","sourcePath":""}],"transactionID":"id"})"));
    const PrivilegedTrashRestoreRequest restore{"id", {{"s", "d", "r", "n", "AU"}}};
    EXPECT_EQ(encode(restore),
              QByteArray(R"({"items":[{"destinationPath":"d","format":"AU","originalBundleFilename":"n",)"
                         R"("recoveryRecordID":"r","sourcePath":"s"}],"transactionID":"id"})"));
}

TEST(PrivilegedRequests, RoundTripEveryKind) {
    const PrivilegedQuarantineRequest quarantine = quarantineRequest();
    EXPECT_EQ(decodePrivilegedQuarantineRequest(encode(quarantine)), quarantine);
    EXPECT_EQ(privilegedQuarantineRequestFromJson(toJson(quarantine)), quarantine);

    const PrivilegedRestoreRequest restore{
        kTransaction, {{quarantine.items[0].destinationPath, quarantine.items[0].sourcePath, kOperation}}};
    EXPECT_EQ(decodePrivilegedRestoreRequest(encode(restore)), restore);

    const PrivilegedTrashRequest trash{kTransaction,
                                       {{quarantine.items[1].destinationPath,
                                         "/home/ada/.local/share/Trash/files/x.component", kOperation}}};
    EXPECT_EQ(decodePrivilegedTrashRequest(encode(trash)), trash);

    const PrivilegedTrashRestoreRequest trashRestore = trashRestoreRequest();
    EXPECT_EQ(decodePrivilegedTrashRestoreRequest(encode(trashRestore)), trashRestore);
}

TEST(PrivilegedRequests, EmptyItemsAndUnknownKeysDecode) {
    QJsonObject object = toJson(quarantineRequest());
    object.insert("futureField", 12);
    QJsonArray items = object.value("items").toArray();
    QJsonObject first = items.at(0).toObject();
    first.insert("note", "ignored");
    items.replace(0, first);
    object.insert("items", items);
    EXPECT_EQ(privilegedQuarantineRequestFromJson(object), quarantineRequest());

    const auto empty = decodePrivilegedRestoreRequest(R"({"transactionID":"abc","items":[]})");
    ASSERT_TRUE(empty.has_value());
    EXPECT_EQ(*empty, (PrivilegedRestoreRequest{"abc", {}}));
}

TEST(PrivilegedRequests, EveryKeyIsRequired) {
    for (const QString key : {"transactionID", "items"}) {
        QJsonObject object = toJson(quarantineRequest());
        object.remove(key);
        const auto decoded = privilegedQuarantineRequestFromJson(object);
        ASSERT_FALSE(decoded.has_value()) << key.toStdString();
        EXPECT_EQ(decoded.error().key, key);
    }
    for (const QString key : {"sourcePath", "destinationPath", "operationID"}) {
        QJsonObject object = toJson(quarantineRequest());
        QJsonArray items = object.value("items").toArray();
        QJsonObject second = items.at(1).toObject();
        second.remove(key);
        items.replace(1, second);
        object.insert("items", items);
        const auto decoded = privilegedQuarantineRequestFromJson(object);
        ASSERT_FALSE(decoded.has_value()) << key.toStdString();
        EXPECT_EQ(decoded.error().key, "items[1]." + key);
        EXPECT_FALSE(privilegedTrashRequestFromJson(object).has_value());
        EXPECT_FALSE(privilegedRestoreRequestFromJson(object).has_value());
    }
    for (const QString key :
         {"sourcePath", "destinationPath", "recoveryRecordID", "originalBundleFilename", "format"}) {
        QJsonObject item = toJson(trashRestoreRequest().items[0]);
        item.remove(key);
        const auto decoded = privilegedTrashRestoreItemFromJson(item, "items[0]");
        ASSERT_FALSE(decoded.has_value()) << key.toStdString();
        EXPECT_EQ(decoded.error().key, "items[0]." + key);
    }
    // A quarantine-shaped item is not a recovery item.
    const auto wrongShape = decodePrivilegedTrashRestoreRequest(encode(quarantineRequest()));
    EXPECT_FALSE(wrongShape.has_value());
}

TEST(PrivilegedRequests, WrongTypesFail) {
    const QList<QByteArray> documents{
        R"({"transactionID":12,"items":[]})",
        R"({"transactionID":null,"items":[]})",
        R"({"transactionID":"x","items":{}})",
        R"({"transactionID":"x","items":null})",
        R"({"transactionID":"x","items":["a"]})",
        R"({"transactionID":"x","items":[{"sourcePath":1,"destinationPath":"d","operationID":"o"}]})",
        R"({"transactionID":"x","items":[{"sourcePath":"s","destinationPath":true,"operationID":"o"}]})",
        R"({"transactionID":"x","items":[{"sourcePath":"s","destinationPath":"d","operationID":["o"]}]})",
        R"({"transactionID":"x","items":[{"sourcePath":"s","destinationPath":"d","operationID":null}]})",
        R"([{"transactionID":"x","items":[]}])",
        R"("text")",
        R"({"transactionID":"x","items":[]})"
        "trailing",
        "",
        "not json",
    };
    for (const QByteArray& document : documents) {
        EXPECT_FALSE(decodePrivilegedQuarantineRequest(document).has_value()) << document.toStdString();
        EXPECT_FALSE(decodePrivilegedTrashRequest(document).has_value()) << document.toStdString();
    }
    EXPECT_FALSE(decodePrivilegedTrashRestoreRequest(
                     R"({"transactionID":"x","items":[{"sourcePath":"s","destinationPath":"d",)"
                     R"("recoveryRecordID":"r","originalBundleFilename":"n","format":3}]})")
                     .has_value());
}

} // namespace
} // namespace quorvane
