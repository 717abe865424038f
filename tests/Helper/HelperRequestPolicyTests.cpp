#include "Helper/HelperRequestPolicy.h"
#include "Helper/HelperService.h"
#include "HelperTestSupport.h"
#include "Shared/PrivilegedResults.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <unistd.h>

#include <gtest/gtest.h>

namespace quorvane::testing {
namespace {

using E = HelperRequestPolicyError;

// Looked up through a folder opened once, every path still shows what its own lstat shows: links on
// the way followed, the last one not, and odd spellings, missing folders and files as folders alike.
TEST(PathLookupsTest, EachPathShowsWhatItsOwnLstatShows) {
    QTemporaryDir temporary;
    const QString base = temporary.path();
    QDir().mkpath(base + "/real/Bundle.vst3");
    QFile(base + "/real/file").open(QIODevice::WriteOnly);
    for (const auto& [target, link] :
         std::vector<std::pair<QString, QString>>{{"real", "folder-link"},
                                                  {"Bundle.vst3", "real/bundle-link"},
                                                  {"missing", "real/dangling"},
                                                  {"loop", "loop"}})
        ASSERT_EQ(::symlink(QFile::encodeName(target).constData(),
                            QFile::encodeName(base + "/" + link).constData()),
                  0);
    const QStringList names{"Bundle.vst3", "bundle-link", "dangling", "file",
                            "absent",      ".",           "..",       "Bundle.vst3/"};
    QStringList paths{
        "/", "/tmp", base + "/loop/x", base + "/real/file/x", base + "/gone/x", base + "//real"};
    for (const QString& folder :
         {base + "/real", base + "/folder-link", base + "/real/", base + "/real/Bundle.vst3/.."})
        for (const QString& name : names)
            paths.append(folder + "/" + name);

    PathLookups lookups;
    for (const QString& path : paths) {
        struct stat expected {};
        const bool exists = ::lstat(QFile::encodeName(path).constData(), &expected) == 0;
        const auto status = lookups.linkStatus(path);
        EXPECT_EQ(status.has_value(), exists) << path.toStdString();
        if (status && exists) {
            EXPECT_EQ(status->st_ino, expected.st_ino) << path.toStdString();
            EXPECT_EQ(status->st_mode, expected.st_mode) << path.toStdString();
        }
    }
}

TEST(HelperRequestPolicyErrorTest, EveryCaseHasItsSentence) {
    const std::vector<std::pair<E, QString>> expected{
        {E::invalidTransactionIdentifier, "The quarantine transaction identifier is invalid."},
        {E::invalidItemCount, "The quarantine request contains an invalid number of plugin bundles."},
        {E::invalidSource, "A source is not a verified plugin bundle in an approved system location."},
        {E::invalidDestination, "A destination is outside Quorvane\u2019s protected quarantine structure."},
        {E::duplicateOrConflictingPath, "The quarantine request contains a duplicate or conflicting path."},
        {E::invalidRestoreTransactionIdentifier, "The restore transaction identifier is invalid."},
        {E::invalidRestoreItemCount, "The restore request contains an invalid number of plugin bundles."},
        {E::invalidRestoreSource,
         "A restore source is outside Quorvane\u2019s protected quarantine structure."},
        {E::invalidRestoreDestination, "A restore destination is not a verified system plugin location."},
        {E::duplicateOrConflictingRestorePath,
         "The restore request contains a duplicate or conflicting path."},
        {E::invalidTrashTransactionIdentifier, "The Trash transaction identifier is invalid."},
        {E::invalidTrashItemCount, "The Trash request contains an invalid number of plugin bundles."},
        {E::invalidTrashSource, "A Trash source is outside Quorvane\u2019s protected quarantine structure."},
        {E::invalidTrashDestination,
         "A Trash destination is outside the logged-in user\u2019s Finder Trash."},
        {E::duplicateOrConflictingTrashPath, "The Trash request contains a duplicate or conflicting path."},
        {E::invalidTrashRestoreTransactionIdentifier,
         "The Trash recovery transaction identifier is invalid."},
        {E::invalidTrashRestoreItemCount,
         "The Trash recovery request contains an invalid number of plugin bundles."},
        {E::invalidOrDuplicateRecoveryRecord,
         "The Trash recovery request contains an invalid or duplicate recovery record."},
        {E::invalidTrashRestoreFormat, "A Trash recovery item has an unsupported plugin format."},
        {E::trashRestoreFilenameMismatch,
         "A Trash recovery item does not match its recorded original bundle filename."},
        {E::invalidTrashRestoreSource,
         "A Trash recovery source is not a verified top-level plugin bundle in the "
         "logged-in user\u2019s Finder Trash."},
        {E::invalidTrashRestoreDestination,
         "A Trash recovery destination is not a verified original plugin location."},
        {E::duplicateOrConflictingTrashRestorePath,
         "The Trash recovery request contains a duplicate or conflicting path."},
        {E::consoleUserTrashUnavailable, "Quorvane could not verify the logged-in user\u2019s Finder Trash."},
    };
    EXPECT_EQ(helperRequestPolicyErrorTexts(), expected);
    for (const auto& [error, text] : expected)
        EXPECT_EQ(description(error), text);
}

// A disk with one bundle in each place a request can name: in a system folder, in quarantine, in the
// Trash.
class RefusalTest : public ::testing::Test {
protected:
    RefusalTest() {
        tree.makeBundle(tree.vst3("Synth.vst3"));
        tree.makeBundle(tree.vst3("Other.vst3"));
        tree.makeBundle(tree.quarantined(operation, "Held.vst3"));
        tree.makeBundle(tree.quarantined(operation, "Second.vst3"));
        tree.makeBundle(tree.trashed("Gone.component"));
        QDir().mkpath(tree.component(""));
    }

    QJsonObject quarantineItem(const QString& source, const QString& destination) const {
        return {{"sourcePath", source}, {"destinationPath", destination}, {"operationID", operation}};
    }
    QJsonObject restoreItem(const QString& source, const QString& destination) const {
        return quarantineItem(source, destination);
    }
    QJsonObject recoveryItem(const QString& source, const QString& destination, const QString& record,
                             const QString& original, const QString& format) const {
        return {{"sourcePath", source},
                {"destinationPath", destination},
                {"recoveryRecordID", record},
                {"originalBundleFilename", original},
                {"format", format}};
    }
    static QByteArray request(const QString& id, const QJsonArray& items) {
        return QJsonDocument(QJsonObject{{"transactionID", id}, {"items", items}})
            .toJson(QJsonDocument::Compact);
    }

    HelperTree tree;
    QString operation = upperUuid();
    QString id = upperUuid();
};

TEST_F(RefusalTest, EveryRefusalAnswersItsSentenceAndMovesNothing) {
    const QString synth = tree.vst3("Synth.vst3");
    const QString held = tree.quarantined(operation, "Held.vst3");
    const QString gone = tree.trashed("Gone.component");
    const QString record = upperUuid();
    const QJsonObject goodQuarantine = quarantineItem(synth, tree.quarantined(operation, "Synth.vst3"));
    const QJsonObject goodRestore = restoreItem(held, tree.vst3("Held.vst3"));
    const QJsonObject goodTrash = quarantineItem(held, tree.trashed("Held.vst3"));
    const QJsonObject goodRecovery =
        recoveryItem(gone, tree.component("Gone.component"), record, "Gone.component", "AU");
    QJsonArray tooMany;
    for (int index = 0; index < 257; ++index)
        tooMany.append(goodQuarantine);

    struct Case {
        const char* method;
        QByteArray request;
        E expected;
    };
    using HS = HelperService;
    const std::vector<Case> cases{
        {"quarantine", request("not-a-uuid", {goodQuarantine}), E::invalidTransactionIdentifier},
        {"quarantine", request(id, {}), E::invalidItemCount},
        {"quarantine", request(id, tooMany), E::invalidItemCount},
        {"quarantine",
         request(id, {quarantineItem(tree.tree.path("elsewhere/Synth.vst3"),
                                     tree.quarantined(operation, "Synth.vst3"))}),
         E::invalidSource},
        {"quarantine", request(id, {quarantineItem(synth, tree.quarantined(operation, "Renamed.vst3"))}),
         E::invalidDestination},
        {"quarantine", request(id, {goodQuarantine, goodQuarantine}), E::duplicateOrConflictingPath},
        {"restore", request("", {goodRestore}), E::invalidRestoreTransactionIdentifier},
        {"restore", request(id, {}), E::invalidRestoreItemCount},
        {"restore",
         request(id, {restoreItem(tree.quarantined(upperUuid(), "Held.vst3"), tree.vst3("Held.vst3"))}),
         E::invalidRestoreSource},
        {"restore", request(id, {restoreItem(held, tree.tree.path("elsewhere/Held.vst3"))}),
         E::invalidRestoreDestination},
        {"restore", request(id, {goodRestore, goodRestore}), E::duplicateOrConflictingRestorePath},
        {"moveToTrash", request("{" + id + "}", {goodTrash}), E::invalidTrashTransactionIdentifier},
        {"moveToTrash", request(id, {}), E::invalidTrashItemCount},
        {"moveToTrash", request(id, {quarantineItem(synth, tree.trashed("Synth.vst3"))}),
         E::invalidTrashSource},
        {"moveToTrash", request(id, {quarantineItem(held, tree.trash + "/sub/Held.vst3")}),
         E::invalidTrashDestination},
        {"moveToTrash", request(id, {goodTrash, goodTrash}), E::duplicateOrConflictingTrashPath},
        {"restoreFromTrash", request("x", {goodRecovery}), E::invalidTrashRestoreTransactionIdentifier},
        {"restoreFromTrash", request(id, {}), E::invalidTrashRestoreItemCount},
        {"restoreFromTrash", request(id, {goodRecovery, goodRecovery}), E::invalidOrDuplicateRecoveryRecord},
        {"restoreFromTrash",
         request(id, {recoveryItem(gone, tree.component("Gone.component"), record, "Gone.component", "VST")}),
         E::invalidTrashRestoreFormat},
        {"restoreFromTrash",
         request(id, {recoveryItem(gone, tree.component("Gone.component"), record, "Other.component", "AU")}),
         E::trashRestoreFilenameMismatch},
        {"restoreFromTrash",
         request(id, {recoveryItem(tree.trashed("Missing.component"), tree.component("Gone.component"),
                                   record, "Gone.component", "AU")}),
         E::invalidTrashRestoreSource},
        {"restoreFromTrash",
         request(id, {recoveryItem(gone, tree.component("Vendor/Gone.component"), record, "Gone.component",
                                   "AU")}),
         E::invalidTrashRestoreDestination},
        {"restoreFromTrash",
         request(id, {goodRecovery, recoveryItem(gone, tree.component("Again.component"), upperUuid(),
                                                 "Again.component", "AU")}),
         E::duplicateOrConflictingTrashRestorePath},
    };

    HelperService service(HelperServiceConfiguration{tree.roots, {}, nullptr, "40"}, tree.consoleUsers);
    FixedConsoleUserProvider nobody(std::nullopt);
    HelperService withoutConsoleUser(HelperServiceConfiguration{tree.roots, {}, nullptr, "40"}, nobody);
    const auto before = tree.audit();

    const auto call = [](HS& target, const char* method, const QByteArray& data) {
        const auto body = target.handle(FrameEnvelope{7, method, {QString::fromUtf8(data)}});
        EXPECT_TRUE(body.has_value());
        if (!body)
            return QByteArray();
        const auto reply = decodeFrameBody(*body);
        EXPECT_TRUE(reply.has_value());
        return reply ? reply->arguments.value(0).toUtf8() : QByteArray();
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(description(test.expected).toStdString());
        const QByteArray reply = call(service, test.method, test.request);
        const QJsonObject object = QJsonDocument::fromJson(reply).object();
        EXPECT_EQ(object.value("message").toString(), description(test.expected));
        EXPECT_EQ(object.value("transactionID").toString(),
                  QJsonDocument::fromJson(test.request).object().value("transactionID").toString());
        EXPECT_FALSE(object.value("succeeded").toBool(true));
        EXPECT_TRUE(object.value("rollbackComplete").toBool(false));
        EXPECT_EQ(tree.audit(), before);
    }

    // Without a console user both Trash kinds refuse first, whatever else is wrong.
    for (const char* method : {"moveToTrash", "restoreFromTrash"}) {
        const QJsonObject object =
            QJsonDocument::fromJson(call(withoutConsoleUser, method, request("bad", {}))).object();
        EXPECT_EQ(object.value("message").toString(), description(E::consoleUserTrashUnavailable));
        EXPECT_EQ(object.value("transactionID").toString(), "bad");
    }
    EXPECT_EQ(tree.audit(), before);
}

TEST_F(RefusalTest, UndecodableDocumentsAreAnsweredAsInvalid) {
    HelperService service(HelperServiceConfiguration{tree.roots, {}, nullptr, "40"}, tree.consoleUsers);
    for (const QByteArray& data :
         {QByteArray("not json"), QByteArray("[]"), QByteArray(R"({"transactionID":"x"})")}) {
        const QJsonObject object = QJsonDocument::fromJson(service.quarantine(data)).object();
        EXPECT_EQ(object.value("transactionID").toString(), "invalid");
        EXPECT_FALSE(object.value("succeeded").toBool(true));
        EXPECT_TRUE(object.value("rollbackComplete").toBool(false));
        EXPECT_TRUE(object.value("movedDestinationPaths").toArray().isEmpty());
        EXPECT_FALSE(object.value("message").toString().isEmpty());
    }
    // A lower-case identifier passes and is echoed exactly as sent.
    const QString lower = upperUuid().toLower();
    const QJsonObject object = QJsonDocument::fromJson(service.quarantine(request(lower, {}))).object();
    EXPECT_EQ(object.value("transactionID").toString(), lower);
    EXPECT_EQ(object.value("message").toString(), description(E::invalidItemCount));
}

TEST_F(RefusalTest, ConsoleUserTrashNeedsTheUsersOwnRealFolder) {
    HelperRequestPolicy policy(tree.policy, tree.consoleUsers);
    EXPECT_EQ(policy.consoleUserTrashURL(), tree.trash);

    FixedConsoleUserProvider root(ConsoleUser{0, "root", tree.home});
    EXPECT_FALSE(HelperRequestPolicy(tree.policy, root).consoleUserTrashURL());
    FixedConsoleUserProvider stranger(ConsoleUser{consoleTestUid() + 1, "stranger", tree.home});
    EXPECT_FALSE(HelperRequestPolicy(tree.policy, stranger).consoleUserTrashURL());

    QDir().rename(tree.trash, tree.trash + ".real");
    ASSERT_EQ(::symlink(QFile::encodeName(tree.trash + ".real").constData(),
                        QFile::encodeName(tree.trash).constData()),
              0);
    EXPECT_FALSE(policy.consoleUserTrashURL());
    ::unlink(QFile::encodeName(tree.trash).constData());
    EXPECT_FALSE(policy.consoleUserTrashURL());
}

// A later record of the same Trash path replaces the earlier one (the last of a batch wins); removal
// drops exactly the named paths.
TEST_F(RefusalTest, LedgerReplacesByTrashPathAndRemovesOnlyWhatIsNamed) {
    QDir().mkpath(tree.ledger.folder());
    const auto record = [](const char* path, ino_t inode) {
        return TrashLedgerRecord{QString::fromLatin1(path), FileIdentity{1, inode}, 501};
    };
    ASSERT_TRUE(tree.ledger.add({record("/t/A", 1), record("/t/B", 2)}));
    ASSERT_TRUE(tree.ledger.add({record("/t/A", 3), record("/t/C", 4), record("/t/C", 5)}));
    EXPECT_EQ(tree.ledger.records().value(),
              (std::vector<TrashLedgerRecord>{record("/t/B", 2), record("/t/A", 3), record("/t/C", 5)}));
    ASSERT_TRUE(tree.ledger.remove({QStringLiteral("/t/B"), QStringLiteral("/t/missing")}));
    const auto left = tree.ledger.records().value();
    EXPECT_EQ(left, (std::vector<TrashLedgerRecord>{record("/t/A", 3), record("/t/C", 5)}));
    ASSERT_NE(TrashLedger::find(left, QStringLiteral("/t/C")), nullptr);
    EXPECT_EQ(TrashLedger::find(left, QStringLiteral("/t/C"))->identity.inode, ino_t(5));
    EXPECT_EQ(TrashLedger::find(left, QStringLiteral("/t/B")), nullptr);
}

TEST_F(RefusalTest, RecoveryReadsTheFormatLeniently) {
    HelperRequestPolicy policy(tree.policy, tree.consoleUsers);
    tree.makeBundle(tree.trashed("Whatever.vst3"));
    // As if the helper had put it there.
    struct stat status {};
    ASSERT_EQ(::lstat(QFile::encodeName(tree.trashed("Whatever.vst3")).constData(), &status), 0);
    QDir().mkpath(tree.ledger.folder());
    ASSERT_TRUE(tree.ledger.add({{tree.trashed("Whatever.vst3"), identityOf(status), status.st_uid}}));
    PrivilegedTrashRestoreRequest recovery{id,
                                           {{tree.trashed("Whatever.vst3"), tree.vst3("Vendor/Synth2.vst3"),
                                             upperUuid(), "Synth2.vst3", " vst3 \n"}}};
    QDir().mkpath(tree.vst3("Vendor"));
    const auto validated = policy.validateTrashRestoreRequest(recovery);
    ASSERT_TRUE(validated) << description(validated.error()).toStdString();
    EXPECT_EQ(validated->front().destination, tree.vst3("Vendor/Synth2.vst3"));

    // The vendor folder replaced by a link is no original location any more.
    QDir().rename(tree.vst3("Vendor"), tree.vst3("VendorReal"));
    ASSERT_EQ(::symlink("VendorReal", QFile::encodeName(tree.vst3("Vendor")).constData()), 0);
    EXPECT_EQ(policy.validateTrashRestoreRequest(recovery).error(), E::invalidTrashRestoreDestination);
}

} // namespace
} // namespace quorvane::testing
