#include "Shared/SystemRoots.h"
#include "Shared/HomeTrashLocation.h"

#include "Support/Fixtures/TemporaryTree.h"

#include <QFile>

#include "Support/Fixtures/FixtureQtPrinters.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

TEST(SystemRoots, ProductionIsTheLiteralPath) {
    const SystemRoots roots = SystemRoots::production();
    EXPECT_TRUE(roots.isProduction());
    EXPECT_EQ(roots.path("/Library/Audio/Plug-Ins/VST3"), "/Library/Audio/Plug-Ins/VST3");
    EXPECT_EQ(SystemRoots::underPrefix("/"), roots);
    EXPECT_EQ(SystemRoots::underPrefix("//"), roots);
}

TEST(SystemRoots, PrefixIsStandardisedAndResolvedOnce) {
    testing::TemporaryTree tree;
    const QString real = tree.makeDirectory("real/roots");
    ASSERT_TRUE(QFile::link(tree.path("real"), tree.path("alias")));

    EXPECT_EQ(SystemRoots::underPrefix(tree.path("alias/roots/")).prefix, real);
    EXPECT_EQ(SystemRoots::underPrefix(tree.path("real/./x/../roots")).prefix, real);
    const SystemRoots roots = SystemRoots::underPrefix(real);
    EXPECT_FALSE(roots.isProduction());
    EXPECT_EQ(roots.path("/Library/Application Support/Quorvane/Quarantine"),
              real + "/Library/Application Support/Quorvane/Quarantine");
}

} // namespace
} // namespace quorvane

TEST(HomeTrashLocation, IgnoresTheEnvironmentAndStandardisesTheHome) {
    qputenv("XDG_DATA_HOME", "/elsewhere");
    EXPECT_EQ(quorvane::homeTrashFilesFolder(QStringLiteral("/home/ana/")),
              QStringLiteral("/home/ana/.local/share/Trash/files"));
    EXPECT_EQ(quorvane::homeTrashInfoFolder(QStringLiteral("/home//ana")),
              QStringLiteral("/home/ana/.local/share/Trash/info"));
    qunsetenv("XDG_DATA_HOME");
}
