#include "Shared/PathPolicy.h"

#include "Support/Fixtures/TemporaryTree.h"

#include <QDir>
#include <QFile>

#include "Support/Fixtures/FixtureQtPrinters.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace quorvane {
namespace {

using testing::TemporaryTree;

const QString kVST3 = QStringLiteral("/Library/Audio/Plug-Ins/VST3");
const QString kOperation = QStringLiteral("3F2504E0-4F89-11D3-9A0C-0305E82C3301");

void makeLink(const QString& target, const QString& link) {
    ASSERT_TRUE(QFile::link(target, link)) << link.toStdString();
}

class PathPolicyTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(tree.isValid());
        for (const QString& root : PathPolicy::literalApprovedSystemPluginRoots())
            tree.makeDirectory(root.mid(1));
        tree.makeDirectory(PathPolicy::literalQuarantineRoot().mid(1));
    }

    // The path of a literal system path in the test tree.
    QString at(const QString& literal) const { return roots.path(literal); }
    QString operationFolder(const QString& operationID) const {
        return policy.quarantineRoot() + '/' + operationID;
    }

    TemporaryTree tree;
    SystemRoots roots = SystemRoots::underPrefix(tree.path());
    PathPolicy policy{roots};
};

TEST(PathPolicyConstants, ProductionUsesTheLiteralFolders) {
    const PathPolicy policy;
    EXPECT_EQ(policy.approvedSystemPluginRoots(),
              QStringList({"/Library/Audio/Plug-Ins/Components", "/Library/Audio/Plug-Ins/VST",
                           "/Library/Audio/Plug-Ins/VST3", "/Library/Audio/Plug-Ins/CLAP",
                           "/Library/Application Support/Avid/Audio/Plug-Ins",
                           "/Library/Application Support/Digidesign/Plug-Ins"}));
    EXPECT_EQ(policy.quarantineRoot(), "/Library/Application Support/Quorvane/Quarantine");
    EXPECT_EQ(PathPolicy::allowedPluginExtensions(),
              QStringList({"component", "vst", "vst3", "aaxplugin", "clap"}));
    EXPECT_EQ(
        PathPolicy::pluginFormatExtensions(),
        (QMap<QString, QString>{
            {"AU", "component"}, {"VST2", "vst"}, {"VST3", "vst3"}, {"AAX", "aaxplugin"}, {"CLAP", "clap"}}));
}

TEST_F(PathPolicyTest, RootsLieUnderThePrefixInOrder) {
    QStringList expected;
    for (const QString& literal : PathPolicy::literalApprovedSystemPluginRoots())
        expected.append(tree.path() + literal);
    EXPECT_EQ(policy.approvedSystemPluginRoots(), expected);
    EXPECT_EQ(policy.quarantineRoot(), tree.path() + "/Library/Application Support/Quorvane/Quarantine");
}

TEST_F(PathPolicyTest, AcceptsABundleBeneathEveryApprovedRoot) {
    const QStringList names{"Synth.component", "Synth.vst",       "Synth.vst3",
                            "Synth.clap",      "Synth.aaxplugin", "My Synth.aaxplugin"};
    for (const QString& root : policy.approvedSystemPluginRoots()) {
        for (const QString& name : names) {
            const QString direct = root + '/' + name;
            EXPECT_EQ(policy.verifiedSystemPluginURL(direct), direct);
            const QString nested = root + "/Vendor Folder/Sub/" + name;
            tree.makeDirectory(nested.mid(tree.path().size() + 1));
            EXPECT_EQ(policy.verifiedSystemPluginURL(nested), nested);
        }
    }
}

TEST_F(PathPolicyTest, AcceptsUpperCaseExtensionsAndKeepsTheirCase) {
    for (const QString name :
         {"Synth.VST3", "Synth.Component", "Synth.CLAP", "Synth.AaxPlugin", "Synth.VST"}) {
        const QString path = at(kVST3) + '/' + name;
        EXPECT_EQ(policy.verifiedSystemPluginURL(path), path) << name.toStdString();
    }
}

TEST_F(PathPolicyTest, RefusesWrongExtensions) {
    for (const QString name : {"Readme.txt", "Synth", "Synth.vst3.bak", "Synth.vst4", "Synth.VST3x",
                               "Synth.so", "Synth.dll", "Synth.", ".vst3", "Synth.component.zip"}) {
        EXPECT_EQ(policy.verifiedSystemPluginURL(at(kVST3) + '/' + name), std::nullopt) << name.toStdString();
    }
}

TEST_F(PathPolicyTest, RefusesRootsThemselvesAndLookAlikes) {
    const QStringList refused{
        "/Library/Audio/Plug-Ins/VST3",
        "/Library/Audio/Plug-Ins/VST3/",
        "/Library/Audio/Plug-Ins/VST3x/Synth.vst3",
        "/Library/Audio/Plug-Ins/VSTx/Synth.vst",
        "/Library/Audio/Plug-Ins/VST3.vst3",
        "/Library/Audio/Plug-Ins/Components-Old/Synth.component",
        "/Library/Audio/Plug-Ins/Synth.vst3",
        "/Library/Audio/Synth.vst3",
        "/Library/Application Support/Avid/Audio/Plug-Ins (Unused)/Synth.aaxplugin",
        "/Library/Application Support/Digidesign/Plug-Ins2/Synth.aaxplugin",
        "/library/audio/plug-ins/VST3/Synth.vst3",
        "/Library/Audio/Plug-ins/VST3/Synth.vst3",
        "/Library/Application Support/Quorvane/Quarantine/" + kOperation + "/Synth.vst3",
    };
    for (const QString& literal : refused)
        EXPECT_EQ(policy.verifiedSystemPluginURL(at(literal)), std::nullopt) << literal.toStdString();
    // The production folders are not approved under a test prefix.
    EXPECT_EQ(policy.verifiedSystemPluginURL(kVST3 + "/Synth.vst3"), std::nullopt);
}

TEST_F(PathPolicyTest, StandardisesDotDotBeforeJudging) {
    EXPECT_EQ(policy.verifiedSystemPluginURL(at("/Library/Audio/Plug-Ins/VST/../VST3/Synth.vst3")),
              at(kVST3 + "/Synth.vst3"));
    EXPECT_EQ(policy.verifiedSystemPluginURL(at(kVST3 + "/./Vendor//Synth.vst3")),
              at(kVST3 + "/Vendor/Synth.vst3"));
    for (const QString escape : {"/Library/Audio/Plug-Ins/VST3/../VST3x/Synth.vst3",
                                 "/Library/Audio/Plug-Ins/VST3/../../../../../../../../../tmp/Synth.vst3",
                                 "/Library/Audio/Plug-Ins/VST3/Vendor/../../Synth.vst3"}) {
        EXPECT_EQ(policy.verifiedSystemPluginURL(at(escape)), std::nullopt) << escape.toStdString();
    }
    EXPECT_EQ(policy.verifiedSystemPluginURL("/Library/Audio/Plug-Ins/VST3/../../../../etc/x.vst3"),
              std::nullopt);
}

TEST_F(PathPolicyTest, RefusesRelativePathsWhateverTheCurrentFolder) {
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(tree.path()));
    for (const QString relative :
         {"Library/Audio/Plug-Ins/VST3/Synth.vst3", "./Library/Audio/Plug-Ins/VST3/Synth.vst3",
          "~/Library/Audio/Plug-Ins/VST3/Synth.vst3", "", "Synth.vst3"}) {
        EXPECT_EQ(policy.verifiedSystemPluginURL(relative), std::nullopt) << relative.toStdString();
        EXPECT_EQ(policy.verifiedQuarantineItemURL(relative, "Synth.vst3", kOperation), std::nullopt)
            << relative.toStdString();
    }
    QDir::setCurrent(previous);
}

TEST_F(PathPolicyTest, RefusesABundleThatIsItselfALink) {
    const QString real = tree.makeDirectory(kVST3.mid(1) + "/Real.vst3");
    const QString link = at(kVST3 + "/Link.vst3");
    makeLink(real, link);
    EXPECT_EQ(policy.verifiedSystemPluginURL(real), real);
    EXPECT_EQ(policy.verifiedSystemPluginURL(link), std::nullopt);
    const QString dangling = at(kVST3 + "/Dangling.vst3");
    makeLink(tree.path("nowhere"), dangling);
    EXPECT_EQ(policy.verifiedSystemPluginURL(dangling), std::nullopt);
}

TEST_F(PathPolicyTest, JudgesLinksInsideThePathByWhereTheyLead) {
    const QString outside = tree.makeDirectory("Elsewhere");
    makeLink(outside, at(kVST3 + "/Vendor"));
    EXPECT_EQ(policy.verifiedSystemPluginURL(at(kVST3 + "/Vendor/Synth.vst3")), std::nullopt);

    tree.makeDirectory("Library/Audio/Plug-Ins/CLAP/Vendor");
    makeLink(at("/Library/Audio/Plug-Ins/CLAP/Vendor"), at(kVST3 + "/Alias"));
    EXPECT_EQ(policy.verifiedSystemPluginURL(at(kVST3 + "/Alias/Synth.clap")),
              at("/Library/Audio/Plug-Ins/CLAP/Vendor/Synth.clap"));

    makeLink(at(kVST3), tree.path("Shortcut"));
    EXPECT_EQ(policy.verifiedSystemPluginURL(tree.path("Shortcut/Synth.vst3")), at(kVST3 + "/Synth.vst3"));

    // A link to the root's parent cannot make a look-alike folder count.
    makeLink(at("/Library/Audio/Plug-Ins/VST3x"), at(kVST3 + "/Up"));
    EXPECT_EQ(policy.verifiedSystemPluginURL(at(kVST3 + "/Up/Synth.vst3")), std::nullopt);
}

TEST_F(PathPolicyTest, JudgesRelativeLinksAndChains) {
    tree.makeDirectory("Library/Audio/Plug-Ins/CLAP/Vendor");
    makeLink("../CLAP/Vendor", at(kVST3 + "/Relative"));
    makeLink("Relative", at(kVST3 + "/Chain"));
    EXPECT_EQ(policy.verifiedSystemPluginURL(at(kVST3 + "/Chain/Synth.clap")),
              at("/Library/Audio/Plug-Ins/CLAP/Vendor/Synth.clap"));
    makeLink("../..", at(kVST3 + "/Top"));
    EXPECT_EQ(policy.verifiedSystemPluginURL(at(kVST3 + "/Top/Synth.vst3")), std::nullopt);
    EXPECT_EQ(policy.verifiedSystemPluginURL(at(kVST3 + "/Top/Plug-Ins/VST3/Synth.vst3")),
              at(kVST3 + "/Synth.vst3"));
}

TEST_F(PathPolicyTest, RefusesAPathWhoseLinksCannotBeResolved) {
    makeLink("Loop", at(kVST3 + "/Loop"));
    EXPECT_EQ(policy.verifiedSystemPluginURL(at(kVST3 + "/Loop/Synth.vst3")), std::nullopt);
    makeLink("../VST3/Ping", at(kVST3 + "/Pong"));
    makeLink("Pong", at(kVST3 + "/Ping"));
    EXPECT_EQ(policy.verifiedSystemPluginURL(at(kVST3 + "/Ping/Synth.vst3")), std::nullopt);
}

TEST_F(PathPolicyTest, ChecksWhatADanglingLinkNamesPastItsMissingPart) {
    // The missing part of a link target is kept as written, so "Missing/.." names the folder beside
    // it without resolving it.
    makeLink(tree.makeDirectory("Elsewhere"), at(kVST3 + "/Evil"));
    makeLink("Missing/../Evil", at(kVST3 + "/Hop"));
    EXPECT_EQ(policy.verifiedSystemPluginURL(at(kVST3 + "/Hop/Synth.vst3")), std::nullopt);
    tree.makeDirectory(kVST3.mid(1) + "/Vendor");
    makeLink("Missing/../Vendor", at(kVST3 + "/Skip"));
    EXPECT_EQ(policy.verifiedSystemPluginURL(at(kVST3 + "/Skip/Synth.vst3")),
              at(kVST3 + "/Vendor/Synth.vst3"));
}

TEST_F(PathPolicyTest, RefusesEmbeddedNul) {
    const QString withNul =
        at(kVST3) + QStringLiteral("/Synth.vst3") + QChar(u'\0') + QStringLiteral("/x.vst3");
    EXPECT_EQ(policy.verifiedSystemPluginURL(withNul), std::nullopt);
    const QString folder = at(PathPolicy::literalQuarantineRoot()) + '/' + kOperation;
    EXPECT_EQ(policy.verifiedQuarantineItemURL(folder + "/Synth.vst3",
                                               QStringLiteral("Synth.vst3") + QChar(u'\0'), kOperation),
              std::nullopt);
    EXPECT_EQ(
        policy.verifiedQuarantineItemURL(folder + QChar(u'\0') + "/Synth.vst3", "Synth.vst3", kOperation),
        std::nullopt);
}

// A request's lookups, shared by all its checks and asked again, judge every path as a fresh look
// at the disk does.
TEST_F(PathPolicyTest, LookupsKeptForARequestJudgeAsFreshLookups) {
    tree.makeDirectory(kVST3.mid(1) + "/Vendor/Real.vst3");
    tree.makeDirectory("Library/Audio/Plug-Ins/CLAP/Vendor");
    makeLink(tree.makeDirectory("Elsewhere"), at(kVST3 + "/Outside"));
    makeLink("../CLAP/Vendor", at(kVST3 + "/Relative"));
    makeLink("Relative", at(kVST3 + "/Chain"));
    makeLink(at(kVST3 + "/Vendor/Real.vst3"), at(kVST3 + "/Vendor/Link.vst3"));
    makeLink("Loop", at(kVST3 + "/Loop"));
    makeLink("Missing/../Vendor", at(kVST3 + "/Skip"));
    makeLink(tree.path("nowhere"), at(kVST3 + "/Dangling"));
    QFile file(at(kVST3 + "/File.vst3"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    makeLink(tree.makeDirectory("Elsewhere/Operation"), operationFolder(kOperation));

    const QStringList paths{
        at(kVST3 + "/Vendor/Real.vst3"),     at(kVST3 + "/Vendor/Link.vst3"),
        at(kVST3 + "/Outside/Synth.vst3"),   at(kVST3 + "/Chain/Synth.clap"),
        at(kVST3 + "/Loop/Synth.vst3"),      at(kVST3 + "/Skip/Synth.vst3"),
        at(kVST3 + "/Dangling/Synth.vst3"),  at(kVST3 + "/Missing.vst3"),
        at(kVST3 + "/Missing.vst3/In.vst3"), at(kVST3 + "/File.vst3"),
        at(kVST3 + "/File.vst3/In.vst3"),    QStringLiteral("/Synth.vst3"),
    };
    PathLookups lookups;
    for (int round = 0; round < 2; ++round) {
        for (const QString& path : paths) {
            EXPECT_EQ(policy.verifiedSystemPluginURL(path, &lookups), policy.verifiedSystemPluginURL(path))
                << path.toStdString();
        }
        for (const QString& operation :
             {kOperation, QStringLiteral("6BA7B810-9DAD-11D1-80B4-00C04FD430C8")}) {
            const QString item = operationFolder(operation) + "/Synth.vst3";
            EXPECT_EQ(policy.verifiedQuarantineItemURL(item, "Synth.vst3", operation, &lookups),
                      policy.verifiedQuarantineItemURL(item, "Synth.vst3", operation));
        }
    }
}

// Quarantine items

class QuarantineItemTest : public PathPolicyTest {};

TEST_F(QuarantineItemTest, AcceptsABundleDirectlyInItsOperationFolder) {
    const QString path = operationFolder(kOperation) + "/Synth.vst3";
    EXPECT_EQ(policy.verifiedQuarantineItemURL(path, "Synth.vst3", kOperation), path);
    tree.makeDirectory(path.mid(tree.path().size() + 1));
    EXPECT_EQ(policy.verifiedQuarantineItemURL(path, "Synth.vst3", kOperation), path);
    const QString upper = operationFolder(kOperation) + "/My Synth.AaxPlugin";
    EXPECT_EQ(policy.verifiedQuarantineItemURL(upper, "My Synth.AaxPlugin", kOperation), upper);
    EXPECT_EQ(policy.verifiedQuarantineItemURL(operationFolder(kOperation) + "/x/../Synth.vst3", "Synth.vst3",
                                               kOperation),
              path);
    const QString lower = kOperation.toLower();
    EXPECT_EQ(policy.verifiedQuarantineItemURL(operationFolder(lower) + "/Synth.vst3", "Synth.vst3", lower),
              operationFolder(lower) + "/Synth.vst3");
}

TEST_F(QuarantineItemTest, RefusesMismatchedItems) {
    const QString other = QStringLiteral("6BA7B810-9DAD-11D1-80B4-00C04FD430C8");
    struct Case {
        const char* label;
        QString path;
        QString name;
        QString operationID;
    };
    const QString folder = operationFolder(kOperation);
    const std::vector<Case> cases{
        {"operation id not a UUID", operationFolder("not-a-uuid") + "/Synth.vst3", "Synth.vst3",
         "not-a-uuid"},
        {"empty operation id", policy.quarantineRoot() + "/Synth.vst3", "Synth.vst3", ""},
        {"braced operation id", operationFolder('{' + kOperation + '}') + "/Synth.vst3", "Synth.vst3",
         '{' + kOperation + '}'},
        {"unhyphenated operation id", operationFolder(QString(kOperation).remove('-')) + "/Synth.vst3",
         "Synth.vst3", QString(kOperation).remove('-')},
        {"operation id escaping", policy.quarantineRoot() + "/../Synth.vst3", "Synth.vst3",
         "../" + kOperation},
        {"folder case differs", operationFolder(kOperation.toLower()) + "/Synth.vst3", "Synth.vst3",
         kOperation},
        {"another operation", operationFolder(other) + "/Synth.vst3", "Synth.vst3", kOperation},
        {"directly in the root", policy.quarantineRoot() + "/Synth.vst3", "Synth.vst3", kOperation},
        {"nested folder", folder + "/Vendor/Synth.vst3", "Synth.vst3", kOperation},
        {"the operation folder", folder, kOperation, kOperation},
        {"name mismatch", folder + "/Synth.vst3", "Other.vst3", kOperation},
        {"name case differs", folder + "/Synth.vst3", "synth.vst3", kOperation},
        {"empty name", folder + "/Synth.vst3", "", kOperation},
        {"dot name", folder + "/.", ".", kOperation},
        {"dot-dot name", folder + "/..", "..", kOperation},
        {"wrong extension", folder + "/Readme.txt", "Readme.txt", kOperation},
        {"no extension", folder + "/Synth", "Synth", kOperation},
        {"outside the quarantine", at(kVST3 + "/" + kOperation + "/Synth.vst3"), "Synth.vst3", kOperation},
        {"production root under a prefix",
         PathPolicy::literalQuarantineRoot() + '/' + kOperation + "/Synth.vst3", "Synth.vst3", kOperation},
    };
    for (const Case& c : cases)
        EXPECT_EQ(policy.verifiedQuarantineItemURL(c.path, c.name, c.operationID), std::nullopt) << c.label;
}

// Only the operation folder is judged for links; a link at the bundle's own path is for the
// transaction to refuse, with its own sentence.
TEST_F(QuarantineItemTest, RefusesLinkedOperationFoldersNotLinkedBundles) {
    const QString elsewhere = tree.makeDirectory("Elsewhere");
    makeLink(elsewhere, operationFolder(kOperation));
    EXPECT_EQ(policy.verifiedQuarantineItemURL(operationFolder(kOperation) + "/Synth.vst3", "Synth.vst3",
                                               kOperation),
              std::nullopt);

    const QString other = QStringLiteral("6BA7B810-9DAD-11D1-80B4-00C04FD430C8");
    tree.makeDirectory(operationFolder(other).mid(tree.path().size() + 1));
    const QString linkedBundle = operationFolder(other) + "/Synth.vst3";
    makeLink(tree.makeDirectory("Elsewhere/Real.vst3"), linkedBundle);
    EXPECT_EQ(policy.verifiedQuarantineItemURL(linkedBundle, "Synth.vst3", other), linkedBundle);
}

// Finder Trash items

class TrashItemTest : public ::testing::Test {
protected:
    TemporaryTree tree;
    QString trash = tree.makeDirectory("home/.local/share/Trash/files");
};

TEST_F(TrashItemTest, DestinationIsANewTopLevelItemOfTheSameExtension) {
    const QString path = trash + "/Synth.vst3";
    EXPECT_EQ(PathPolicy::verifiedTrashDestinationURL(path, trash, "vst3"), path);
    EXPECT_EQ(PathPolicy::verifiedTrashDestinationURL(trash + "/Synth 2.VST3", trash, "vst3"),
              trash + "/Synth 2.VST3");
    EXPECT_EQ(PathPolicy::verifiedTrashDestinationURL(path, trash, "VST3"), path);
    EXPECT_EQ(PathPolicy::verifiedTrashDestinationURL(trash + "/sub/../Synth.vst3", trash, "vst3"), path);

    // The parent is compared after resolution, so the Trash named through a link still counts.
    makeLink(trash, tree.path("TrashAlias"));
    EXPECT_EQ(PathPolicy::verifiedTrashDestinationURL(tree.path("TrashAlias/Synth.vst3"), trash, "vst3"),
              tree.path("TrashAlias/Synth.vst3"));
}

TEST_F(TrashItemTest, DestinationRefusals) {
    tree.makeDirectory("home/.local/share/Trash/files/Sub");
    makeLink(tree.path("nowhere"), trash + "/Planted.vst3");
    struct Case {
        const char* label;
        QString path;
        QString extension;
    };
    const std::vector<Case> cases{
        {"in a subfolder", trash + "/Sub/Synth.vst3", "vst3"},
        {"beside the Trash", trash + "/../Synth.vst3", "vst3"},
        {"extension mismatch", trash + "/Synth.vst3", "component"},
        {"source extension not a bundle", trash + "/Synth.txt", "txt"},
        {"no extension", trash + "/Synth", "vst3"},
        {"relative", "Synth.vst3", "vst3"},
        {"a link is already there", trash + "/Planted.vst3", "vst3"},
        {"the Trash itself", trash, "vst3"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PathPolicy::verifiedTrashDestinationURL(c.path, trash, c.extension), std::nullopt)
            << c.label;
}

TEST_F(TrashItemTest, DestinationNeedsARealTrashFolder) {
    EXPECT_EQ(PathPolicy::verifiedTrashDestinationURL(tree.path("Missing/Synth.vst3"), tree.path("Missing"),
                                                      "vst3"),
              std::nullopt);
    const QString file = tree.writeFile("TrashFile");
    EXPECT_EQ(PathPolicy::verifiedTrashDestinationURL(file + "/Synth.vst3", file, "vst3"), std::nullopt);
    makeLink(trash, tree.path("LinkedTrash"));
    EXPECT_EQ(PathPolicy::verifiedTrashDestinationURL(tree.path("LinkedTrash/Synth.vst3"),
                                                      tree.path("LinkedTrash"), "vst3"),
              std::nullopt);
}

TEST_F(TrashItemTest, SourceIsAnExistingTopLevelBundleFolder) {
    const QString bundle = tree.makeDirectory("home/.local/share/Trash/files/Synth 2.vst3");
    EXPECT_EQ(PathPolicy::verifiedTrashSourceURL(bundle, trash, "vst3"), bundle);
    EXPECT_EQ(PathPolicy::verifiedTrashSourceURL(bundle, trash, "VST3"), bundle);

    tree.makeDirectory("home/.local/share/Trash/files/Sub/Nested.vst3");
    const QString plainFile = tree.writeFile("home/.local/share/Trash/files/Plain.vst3");
    makeLink(bundle, trash + "/Link.vst3");
    makeLink(trash, tree.path("TrashAlias"));
    struct Case {
        const char* label;
        QString path;
        QString extension;
    };
    const std::vector<Case> cases{
        {"missing", trash + "/Gone.vst3", "vst3"},
        {"plain file", plainFile, "vst3"},
        {"link to a bundle", trash + "/Link.vst3", "vst3"},
        {"nested", trash + "/Sub/Nested.vst3", "vst3"},
        {"extension mismatch", bundle, "component"},
        {"expected extension not a bundle", trash + "/Sub", ""},
        {"parent through a link", tree.path("TrashAlias/Synth 2.vst3"), "vst3"},
        {"relative", "Synth 2.vst3", "vst3"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PathPolicy::verifiedTrashSourceURL(c.path, trash, c.extension), std::nullopt) << c.label;
}

} // namespace
} // namespace quorvane
