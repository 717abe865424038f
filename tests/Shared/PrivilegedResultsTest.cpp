#include "Shared/PrivilegedResults.h"
#include "Shared/QuorvaneHelperProtocol.h"

#include <QJsonArray>
#include <QJsonDocument>

#include "Support/Fixtures/FixtureQtPrinters.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

const QString kTransaction = QStringLiteral("0F8FAD5B-D9CB-469F-A165-70867728950E");

TEST(PrivilegedResults, FailedResultStillWritesAllFiveKeys) {
    const PrivilegedQuarantineResult failed{kTransaction, false, true, {}, "Nothing moved."};
    EXPECT_EQ(encode(failed), QByteArray(R"({"message":"Nothing moved.","movedDestinationPaths":[],)"
                                         R"("rollbackComplete":true,"succeeded":false,)"
                                         R"("transactionID":"0F8FAD5B-D9CB-469F-A165-70867728950E"})"));
    EXPECT_EQ(toJson(PrivilegedTrashResult{}).keys(),
              QStringList(
                  {"message", "rollbackComplete", "succeeded", "transactionID", "trashedDestinationPaths"}));
    EXPECT_EQ(toJson(PrivilegedRestoreResult{}).keys(),
              QStringList(
                  {"message", "restoredDestinationPaths", "rollbackComplete", "succeeded", "transactionID"}));
}

TEST(PrivilegedResults, RoundTripEveryKind) {
    const QStringList paths{"/Library/Audio/Plug-Ins/VST3/Synth.vst3", "/Library/Audio/Plug-Ins/VST/Ä b.vst"};
    const PrivilegedQuarantineResult quarantine{kTransaction, true, true, paths, "Done."};
    EXPECT_EQ(decodePrivilegedQuarantineResult(encode(quarantine)), quarantine);
    const PrivilegedRestoreResult restore{kTransaction, false, false, {}, "Rollback: a | b"};
    EXPECT_EQ(decodePrivilegedRestoreResult(encode(restore)), restore);
    const PrivilegedTrashResult trash{kTransaction, true, true, paths, "Moved."};
    EXPECT_EQ(decodePrivilegedTrashResult(encode(trash)), trash);
    const PrivilegedTrashRestoreResult trashRestore{"invalid", false, true, {}, "Unreadable."};
    EXPECT_EQ(privilegedTrashRestoreResultFromJson(toJson(trashRestore)), trashRestore);
}

TEST(PrivilegedResults, RestoreAndTrashRecoveryShareTheirPathsKey) {
    const PrivilegedTrashRestoreResult recovered{kTransaction, true, true, {"/a/b.clap"}, "Back."};
    const auto asRestore = decodePrivilegedRestoreResult(encode(recovered));
    ASSERT_TRUE(asRestore.has_value());
    EXPECT_EQ(asRestore->destinationPaths, recovered.destinationPaths);
    EXPECT_FALSE(decodePrivilegedQuarantineResult(encode(recovered)).has_value());
    EXPECT_FALSE(decodePrivilegedTrashResult(encode(recovered)).has_value());
}

TEST(PrivilegedResults, EveryKeyIsRequiredWithItsType) {
    const QJsonObject complete = toJson(PrivilegedTrashResult{kTransaction, true, true, {"/x.vst3"}, "m"});
    for (const QString& key : complete.keys()) {
        QJsonObject missing = complete;
        missing.remove(key);
        const auto decoded = privilegedTrashResultFromJson(missing);
        ASSERT_FALSE(decoded.has_value()) << key.toStdString();
        EXPECT_EQ(decoded.error().key, key);
    }
    const std::vector<std::pair<QString, QJsonValue>> wrongTypes{
        {"transactionID", 1},
        {"succeeded", "true"},
        {"succeeded", 1},
        {"rollbackComplete", QJsonValue::Null},
        {"trashedDestinationPaths", "/x.vst3"},
        {"trashedDestinationPaths", QJsonArray{"/x.vst3", 2}},
        {"message", QJsonArray{}},
    };
    for (const auto& [key, value] : wrongTypes) {
        QJsonObject object = complete;
        object.insert(key, value);
        const auto decoded = privilegedTrashResultFromJson(object);
        EXPECT_FALSE(decoded.has_value()) << key.toStdString();
    }
    EXPECT_FALSE(decodePrivilegedTrashResult("[]").has_value());
    EXPECT_FALSE(decodePrivilegedTrashResult("{").has_value());
}

TEST(PrivilegedResults, FallbackRepliesAreFixedDocuments) {
    EXPECT_EQ(
        quarantineFallbackReply(),
        QByteArray(R"({"transactionID":"invalid","succeeded":false,"rollbackComplete":false,)"
                   R"("movedDestinationPaths":[],"message":"The helper could not encode its response."})"));
    EXPECT_EQ(
        trashFallbackReply(),
        QByteArray(R"({"transactionID":"invalid","succeeded":false,"rollbackComplete":false,)"
                   R"("trashedDestinationPaths":[],"message":"The helper could not encode its response."})"));
    EXPECT_EQ(restoreFallbackReply(),
              QByteArray(
                  R"({"transactionID":"invalid","succeeded":false,"rollbackComplete":false,)"
                  R"("restoredDestinationPaths":[],"message":"The helper could not encode its response."})"));
    EXPECT_EQ(trashRestoreFallbackReply(), restoreFallbackReply());

    // The application reads them like any other reply.
    EXPECT_EQ(decodePrivilegedQuarantineResult(quarantineFallbackReply()),
              (PrivilegedQuarantineResult{
                  "invalid", false, false, {}, "The helper could not encode its response."}));
    EXPECT_EQ(
        decodePrivilegedTrashRestoreResult(trashRestoreFallbackReply()),
        (PrivilegedTrashRestoreResult{invalidTransactionID(), false, false, {}, fallbackReplyMessage()}));
}

TEST(QuorvaneHelperProtocol, NamesAndLimits) {
    EXPECT_EQ(helperServiceName(), "com.orsolind.Quorvane.helper");
    EXPECT_EQ(helperName(), "QuorvaneHelper");
    EXPECT_EQ(helperBuild(), "40");
    EXPECT_EQ(minimumTransactionItemCount, 1);
    EXPECT_EQ(maximumTransactionItemCount, 256);
}

} // namespace
} // namespace quorvane
