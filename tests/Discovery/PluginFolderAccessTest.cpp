#include "Discovery/PluginFolderAccess.h"

#include "DiscoveryTestSupport.h"

#include "Discovery/FolderAccessTexts.h"
#include "Support/Fixtures/TemporaryTree.h"

#include <QSignalSpy>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <set>

namespace quorvane {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// Bookmarks are "bm:" and the path; resolution and access fail where the test says.
class FakeSecurityScope final : public FolderSecurityScope {
public:
    [[nodiscard]] std::expected<QByteArray, FolderBookmarkError>
    createBookmark(const QString& path) override {
        ++created[path];
        if (failCreate.contains(path))
            return std::unexpected(FolderBookmarkError::folderMissing);
        return QByteArray("bm:") + path.toUtf8() +
               (created[path] > 1 ? "#" + QByteArray::number(created[path]) : "");
    }
    [[nodiscard]] std::expected<ResolvedFolderBookmark, FolderBookmarkError>
    resolveBookmark(const QByteArray& bookmark) override {
        if (!bookmark.startsWith("bm:"))
            return std::unexpected(FolderBookmarkError::damagedBookmark);
        const QString path = QString::fromUtf8(bookmark.mid(3).split('#').first());
        if (missing.contains(path))
            return std::unexpected(FolderBookmarkError::folderMissing);
        return ResolvedFolderBookmark{path, stale.contains(path)};
    }
    bool startAccessing(const QString& path) override {
        ++started[path];
        return !failStart.contains(path);
    }

    std::set<QString> failCreate, failStart, missing, stale;
    std::map<QString, int> created, started;
};

class FakePicker final : public FolderPicker {
public:
    std::optional<QList<QUrl>> chooseFolders(const FolderPickerRequest& request) override {
        requests.push_back(request);
        return answer;
    }
    std::optional<QList<QUrl>> answer;
    std::vector<FolderPickerRequest> requests;
};

QList<QUrl> urls(const QStringList& paths) {
    QList<QUrl> result;
    for (const QString& path : paths)
        result.append(QUrl::fromLocalFile(path));
    return result;
}

QStringList paths(const QList<QUrl>& folders) {
    QStringList result;
    for (const QUrl& url : folders)
        result.append(url.toLocalFile());
    return result;
}

QVariantList bookmarks(const QStringList& folderPaths) {
    QVariantList result;
    for (const QString& path : folderPaths)
        result.append(QByteArray("bm:") + path.toUtf8());
    return result;
}

class PluginFolderAccessTest : public ::testing::Test {
protected:
    void SetUp() override {
        settings = std::make_shared<QSettings>(tree.path("settings.ini"), QSettings::IniFormat);
    }

    std::unique_ptr<PluginFolderAccess> make() {
        return std::make_unique<PluginFolderAccess>(PluginFolderAccess::Services{settings, picker, scope});
    }
    QVariant stored(const QString& name) const { return settings->value(name); }

    testing::TemporaryTree tree;
    std::shared_ptr<QSettings> settings;
    std::shared_ptr<FakePicker> picker = std::make_shared<FakePicker>();
    std::shared_ptr<FakeSecurityScope> scope = std::make_shared<FakeSecurityScope>();
    const QString key = FolderAccessTexts::bookmarksKey;
    const QString legacyKey = FolderAccessTexts::legacyBookmarksKey;

private:
    testing::PinnedTextLocale m_locale;
};

TEST_F(PluginFolderAccessTest, StartsWithNothingStoredAndWritesNothing) {
    const auto access = make();
    EXPECT_EQ(access->bookmarksKey, "QuorvaneAuthorizedFolderBookmarks");
    EXPECT_EQ(access->legacyBookmarksKey, "OstrevelAuthorizedFolderBookmarks");
    EXPECT_THAT(access->authorizedFolders(), IsEmpty());
    EXPECT_FALSE(access->lastError());
    EXPECT_FALSE(settings->contains(key)); // nothing stored, nothing written
    EXPECT_FALSE(settings->contains(legacyKey));
}

TEST_F(PluginFolderAccessTest, TheCurrentKeyWinsOverTheLegacyKey) {
    settings->setValue(key, bookmarks({"/Library/Audio"}));
    settings->setValue(legacyKey, bookmarks({"/Legacy"}));
    const auto access = make();
    EXPECT_THAT(paths(access->authorizedFolders()), ElementsAre("/Library/Audio"));
    EXPECT_EQ(stored(legacyKey).toList(), bookmarks({"/Legacy"}));
}

TEST_F(PluginFolderAccessTest, LegacyFoldersAreRestoredAndWrittenUnderTheCurrentKey) {
    settings->setValue(legacyKey, bookmarks({"/Users/x", "/Library/Audio"}));
    const auto access = make();
    EXPECT_THAT(paths(access->authorizedFolders()), ElementsAre("/Library/Audio", "/Users/x"));
    EXPECT_EQ(stored(key).toList(), bookmarks({"/Library/Audio", "/Users/x"}));
    EXPECT_EQ(stored(legacyKey).toList(), bookmarks({"/Users/x", "/Library/Audio"}));
}

TEST_F(PluginFolderAccessTest, AnEmptyCurrentArrayHidesTheLegacyFoldersAndSurvivesTheSettingsFile) {
    settings->setValue(key, QVariantList{});
    settings->setValue(legacyKey, bookmarks({"/Legacy"}));
    EXPECT_THAT(make()->authorizedFolders(), IsEmpty());
    EXPECT_TRUE(settings->contains(key));

    // As the settings file keeps it: an empty array reads back as an empty value.
    const QString file =
        tree.writeFile("fresh.ini", "[General]\nQuorvaneAuthorizedFolderBookmarks=@Invalid()\n"
                                    "OstrevelAuthorizedFolderBookmarks=@ByteArray(bm:/Legacy)\n");
    settings = std::make_shared<QSettings>(file, QSettings::IniFormat);
    EXPECT_THAT(make()->authorizedFolders(), IsEmpty());
    EXPECT_EQ(scope->started.count("/Legacy"), 0u);
}

TEST_F(PluginFolderAccessTest, AnArrayWithAnElementThatIsNotDataCountsForNothing) {
    settings->setValue(key, QVariantList{QByteArray("bm:/Library/Audio"), QString("bm:/Users/x")});
    settings->setValue(legacyKey, bookmarks({"/Legacy"}));
    EXPECT_THAT(paths(make()->authorizedFolders()), ElementsAre("/Legacy"));

    settings->setValue(key, QVariantList{QByteArray("bm:/Library/Audio"), 7});
    settings->setValue(legacyKey, QString("not an array"));
    const auto access = make();
    EXPECT_THAT(access->authorizedFolders(), IsEmpty());
    // Neither key counts: the current key keeps what it held.
    EXPECT_EQ(stored(key).toList().size(), 2);
}

TEST_F(PluginFolderAccessTest, RestoreDropsWhatCannotBeResolvedOrOpened) {
    settings->setValue(key, bookmarks({"/Gone", "/Closed", "/Fine", "/Lost"}));
    settings->setValue(legacyKey, QVariantList{});
    scope->missing = {"/Gone", "/Lost"};
    scope->failStart = {"/Closed"};
    QVariantList withDamaged = stored(key).toList();
    withDamaged.prepend(QByteArray("damaged"));
    settings->setValue(key, withDamaged);

    const auto access = make();
    EXPECT_THAT(paths(access->authorizedFolders()), ElementsAre("/Fine"));
    EXPECT_EQ(access->lastError(), description(FolderBookmarkError::folderMissing)); // the last failure
    EXPECT_EQ(stored(key).toList(), bookmarks({"/Fine"}));
}

TEST_F(PluginFolderAccessTest, StaleBookmarksAreRenewedOrLeftOut) {
    settings->setValue(key, bookmarks({"/Renewed", "/Unrenewable"}));
    scope->stale = {"/Renewed", "/Unrenewable"};
    scope->failCreate = {"/Unrenewable"};
    scope->created["/Renewed"] = 1; // the fresh bookmark becomes "bm:/Renewed#2"

    const auto access = make();
    EXPECT_THAT(paths(access->authorizedFolders()), ElementsAre("/Renewed", "/Unrenewable"));
    EXPECT_EQ(access->lastError(), description(FolderBookmarkError::folderMissing));
    EXPECT_EQ(stored(key).toList(), QVariantList{QByteArray("bm:/Renewed#2")});
    EXPECT_EQ(access->activeFolders().size(), 2u);
    EXPECT_EQ(access->bookmarksByPath().size(), 1u);
}

TEST_F(PluginFolderAccessTest, TheFolderPanelAsksForFoldersAndAddsThem) {
    const auto access = make();
    QSignalSpy foldersChanged(access.get(), &PluginFolderAccess::authorizedFoldersChanged);
    picker->answer = urls({"/Users/x/", "/library/zeta", "/Library/Audio/./Plug-Ins/.."});
    access->authorizeFolders();

    ASSERT_EQ(picker->requests.size(), 1u);
    const FolderPickerRequest& request = picker->requests.front();
    EXPECT_EQ(request,
              (FolderPickerRequest{"Authorize Plugin Folders",
                                   "Choose one or more plugin folders that Quorvane may scan and manage.",
                                   "Authorize Folders", false, true, false, true}));
    EXPECT_THAT(paths(access->authorizedFolders()),
                ElementsAre("/Library/Audio", "/library/zeta", "/Users/x"));
    EXPECT_EQ(stored(key).toList(), bookmarks({"/Library/Audio", "/Users/x", "/library/zeta"}));
    EXPECT_FALSE(access->lastError());
    EXPECT_EQ(foldersChanged.count(), 3);

    picker->answer = std::nullopt; // cancelled
    access->setLastError(QString("old"));
    access->authorizeFolders();
    EXPECT_FALSE(access->lastError());
    EXPECT_EQ(foldersChanged.count(), 3);
}

TEST_F(PluginFolderAccessTest, ChoosingAnActiveFolderReplacesItsBookmarkOnly) {
    const auto access = make();
    ASSERT_TRUE(access->addFolder(QUrl::fromLocalFile("/Library/Audio")));
    QSignalSpy foldersChanged(access.get(), &PluginFolderAccess::authorizedFoldersChanged);
    ASSERT_TRUE(access->addFolder(QUrl::fromLocalFile("/Library/Audio/")));
    EXPECT_EQ(scope->started["/Library/Audio"], 1);
    EXPECT_EQ(access->bookmarksByPath().at("/Library/Audio"), "bm:/Library/Audio#2");
    EXPECT_EQ(foldersChanged.count(), 0);
}

TEST_F(PluginFolderAccessTest, FailedFoldersAreListedOnePerLine) {
    const auto access = make();
    scope->failCreate = {"/Volumes/Gone"};
    picker->answer = urls({"/Volumes/Gone", "/Library/Audio"});
    access->authorizeFolders();
    EXPECT_THAT(paths(access->authorizedFolders()), ElementsAre("/Library/Audio"));
    EXPECT_EQ(access->lastError(), "Gone: " + description(FolderBookmarkError::folderMissing));

    scope->failStart = {"/Closed", "/Also Closed"};
    picker->answer = urls({"/Closed", "/Also Closed"});
    access->authorizeFolders();
    EXPECT_EQ(access->lastError(),
              "Closed: Quorvane could not begin secure access to the selected folder.\n"
              "Also Closed: Quorvane could not begin secure access to the selected folder.");
    EXPECT_THAT(paths(access->authorizedFolders()), ElementsAre("/Library/Audio"));
    EXPECT_EQ(stored(key).toList(), bookmarks({"/Library/Audio"}));
}

TEST_F(PluginFolderAccessTest, RealBookmarksSurviveARestart) {
    scope.reset();
    const QString folder = tree.makeDirectory("Plug-Ins");
    {
        PluginFolderAccess access({settings, picker, std::make_shared<PlatformFolderSecurityScope>()});
        ASSERT_TRUE(access.addFolder(QUrl::fromLocalFile(folder)));
    }
    PluginFolderAccess restored({settings, picker, std::make_shared<PlatformFolderSecurityScope>()});
    EXPECT_THAT(paths(restored.authorizedFolders()), ElementsAre(folder));
    EXPECT_FALSE(restored.lastError());

    PluginFolderAccess access({settings, picker, std::make_shared<PlatformFolderSecurityScope>()});
    const auto added = access.addFolder(QUrl::fromLocalFile(tree.path("absent")));
    ASSERT_FALSE(added);
    EXPECT_EQ(description(added.error()), description(FolderBookmarkError::folderMissing));
}

} // namespace
} // namespace quorvane
