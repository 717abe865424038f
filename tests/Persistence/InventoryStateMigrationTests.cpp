#include "Persistence/InventoryStateMigration.h"
#include "Support/Fixtures/FixtureRecords.h"

#include <gtest/gtest.h>

namespace quorvane {
namespace {

PersistedInventory decodedFixture(const QByteArray& document) {
    auto state = decodePersistedInventory(document);
    EXPECT_TRUE(state.has_value()) << (state ? std::string() : state.error().description().toStdString());
    return state ? *state : PersistedInventory{};
}

InventoryStateMigration::Result migrated(const PersistedInventory& state) {
    auto result = InventoryStateMigration::migrate(state);
    EXPECT_TRUE(result.has_value());
    return result ? *result : InventoryStateMigration::Result{};
}

// A schema-1 document as earlier builds wrote it: no schemaVersion, no bundle records, protection
// only through protectedKeys. The second product has a trailing blank in its manufacturer.
const QByteArray schema1Document = R"({
    "plugins": [
        {"id": "0F8FAD5B-D9CB-469F-A165-70867728950E", "name": "Pro-Q 3", "manufacturer": "FabFilter",
         "version": "3.28", "formats": ["VST3"], "architecture": "Universal", "size": "39.8 MB",
         "path": "/Library/Audio/Plug-Ins/VST3/Pro-Q 3.vst3", "status": "OK", "isProtected": false,
         "originalPath": "/Library/Audio/Plug-Ins/VST3/Pro-Q 3.vst3"},
        {"id": "7C9E6679-7425-40DE-944B-E07FC1F90AE7", "name": "Decapitator", "manufacturer": "Soundtoys ",
         "version": "5.3.0", "formats": ["VST3"], "architecture": "Universal", "size": "22.1 MB",
         "path": "/Library/Audio/Plug-Ins/VST3/Decapitator.vst3", "status": "OK", "isProtected": false},
        {"id": "16FD2706-8BAF-433B-82EB-8C7FADA847DA", "name": "Ozone 11", "manufacturer": "iZotope",
         "version": "11.0.0", "formats": ["AU", "VST3"], "architecture": "Apple Silicon", "size": "292.4 MB",
         "path": "/Library/Audio/Plug-Ins/VST3/Ozone 11.vst3", "status": "Partially Quarantined",
         "isProtected": false},
        {"id": "886313E1-3B8A-4372-9B90-0C9AEE199E5D", "name": "WaveShell1-VST3 14.0", "manufacturer": "Waves",
         "version": "14.0", "formats": ["VST3"], "architecture": "Universal", "size": "1.2 MB",
         "path": "/Library/Audio/Plug-Ins/VST3/WaveShell1-VST3 14.0.vst3", "status": "OK", "isProtected": false}
    ],
    "protectedKeys": ["fabfilter|pro-q 3", "soundtoys|decapitator", "izotope|ozone 11", "gone|nowhere"],
    "history": [],
    "lastScanDate": 740000000.25,
    "inaccessibleLocations": ["/Library/Audio/Plug-Ins/CLAP"]
})";

TEST(InventoryStateMigration, SchemaVersionDecidesWhetherAndHowADocumentIsMigrated) {
    struct Case {
        const char* versionKey;
        bool migrates;
    };
    const std::vector<Case> cases = {
        {"", true},
        {R"("schemaVersion": 1,)", true},
        {R"("schemaVersion": 2,)", true},
        {R"("schemaVersion": 0,)", true},
        {R"("schemaVersion": -7,)", true},
        {R"("schemaVersion": 3,)", false},
    };
    for (const Case& testCase : cases) {
        const QByteArray document = QByteArray("{") + testCase.versionKey +
                                    R"( "plugins": [], "protectedKeys": ["a|b"], "history": []})";
        const PersistedInventory state = decodedFixture(document);
        const InventoryStateMigration::Result result = migrated(state);
        EXPECT_EQ(result.didMigrate, testCase.migrates) << document.constData();
        EXPECT_EQ(result.state.schemaVersion, std::optional<qint64>(3)) << document.constData();
        if (!testCase.migrates) {
            EXPECT_EQ(result.state, state);
        }
    }
}

TEST(InventoryStateMigration, ANewerSchemaIsRefusedWithItsNumber) {
    const PersistedInventory state =
        decodedFixture(R"({"schemaVersion": 4, "plugins": [], "protectedKeys": [], "history": []})");
    const auto result = InventoryStateMigration::migrate(state);
    ASSERT_FALSE(result.has_value());
    EXPECT_EQ(result.error(), (InventoryStateMigration::MigrationError{
                                  InventoryStateMigration::MigrationError::Case::unsupportedSchema, 4}));
    EXPECT_EQ(result.error().description(),
              QStringLiteral("Inventory schema 4 is newer than this Quorvane build supports."));

    PersistedInventory far;
    far.schemaVersion = 4000000000LL;
    EXPECT_EQ(InventoryStateMigration::migrate(far).error().description(),
              QStringLiteral("Inventory schema 4000000000 is newer than this Quorvane build supports."));
}

TEST(InventoryStateMigration, ASchema1DocumentGainsRecordsAndProtectionFromItsKeys) {
    const PersistedInventory state = decodedFixture(schema1Document);
    const InventoryStateMigration::Result result = migrated(state);
    ASSERT_TRUE(result.didMigrate);
    const auto& plugins = result.state.plugins;
    ASSERT_EQ(plugins.size(), 4u);

    // Matching key, one format: one synthesised record carrying the product's fields.
    const Plugin& proQ = plugins[0];
    EXPECT_TRUE(proQ.isProtected);
    EXPECT_EQ(proQ.status, PluginStatus::protected_);
    ASSERT_TRUE(proQ.bundles.has_value());
    EXPECT_EQ(*proQ.bundles, (std::vector<PluginBundleRecord>{PluginBundleRecord{
                                 .format = "VST3",
                                 .architecture = "Universal",
                                 .size = "39.8 MB",
                                 .path = "/Library/Audio/Plug-Ins/VST3/Pro-Q 3.vst3",
                                 .originalPath = "/Library/Audio/Plug-Ins/VST3/Pro-Q 3.vst3",
                                 .quarantinePath = std::nullopt,
                                 .quarantineOperationID = std::nullopt,
                                 .presetRunID = std::nullopt,
                                 .isProtected = true,
                             }}));

    // The trailing blank stays in the key, which then matches nothing.
    const Plugin& decapitator = plugins[1];
    EXPECT_FALSE(decapitator.isProtected);
    EXPECT_EQ(decapitator.status, PluginStatus::ok);
    ASSERT_TRUE(decapitator.bundles.has_value());
    EXPECT_FALSE(decapitator.bundles->front().isProtected);

    // Two formats: no record, protected through its own flag, a quarantine status kept.
    const Plugin& ozone = plugins[2];
    EXPECT_EQ(ozone.bundles, std::nullopt);
    EXPECT_TRUE(ozone.isProtected);
    EXPECT_EQ(ozone.status, PluginStatus::partiallyQuarantined);

    // A Waves shell is protected whatever the keys say, and keeps its status.
    const Plugin& shell = plugins[3];
    EXPECT_TRUE(shell.isProtected);
    EXPECT_EQ(shell.status, PluginStatus::ok);
    ASSERT_TRUE(shell.bundles.has_value());
    EXPECT_TRUE(shell.bundles->front().isProtected);

    // Everything but the products and the version is carried over as it was.
    EXPECT_EQ(result.state.protectedKeys, state.protectedKeys);
    EXPECT_EQ(result.state.lastScanDate, state.lastScanDate);
    EXPECT_EQ(result.state.inaccessibleLocations, state.inaccessibleLocations);
    PersistedInventory rest = result.state;
    rest.plugins = state.plugins;
    rest.schemaVersion = state.schemaVersion;
    EXPECT_EQ(rest, state);
}

PluginBundleRecord record(const QString& format, const QString& path, bool isProtected) {
    return testing::bundleRecord(format, path, isProtected, {.size = QStringLiteral("10 MB")});
}

Plugin product(const QString& manufacturer, const QString& name, const QStringList& formats) {
    return testing::productWithoutRecords(name, manufacturer, formats, testing::libraryVst3Path(name));
}

TEST(InventoryStateMigration, ASchema2ProductSpreadsOneDecisionOverItsRecords) {
    const InventoryStateMigration::ProtectedKeySet noKeys;

    Plugin mixed = product("Cradle", "God Particle", {"AU", "VST3"});
    mixed.bundles = {record("AU", "/Library/Audio/Plug-Ins/Components/God Particle.component", true),
                     record("VST3", "/Library/Audio/Plug-Ins/VST3/God Particle.vst3", false)};
    const Plugin unprotected = InventoryStateMigration::upgradePlugin(mixed, noKeys);
    EXPECT_FALSE(unprotected.isProtected);
    EXPECT_FALSE(unprotected.bundles->at(0).isProtected);
    EXPECT_FALSE(unprotected.bundles->at(1).isProtected);
    EXPECT_EQ(unprotected.status, PluginStatus::ok);

    mixed.isProtected = true;
    mixed.status = PluginStatus::quarantined;
    const Plugin protectedProduct = InventoryStateMigration::upgradePlugin(mixed, noKeys);
    EXPECT_TRUE(protectedProduct.isProtected);
    EXPECT_TRUE(protectedProduct.bundles->at(0).isProtected);
    EXPECT_TRUE(protectedProduct.bundles->at(1).isProtected);
    EXPECT_EQ(protectedProduct.status, PluginStatus::quarantined);

    // Kept as earlier builds upgraded it: an empty list stays empty and loses the protection.
    Plugin empty = product("Valhalla DSP", "VintageVerb", {"VST3"});
    empty.bundles = std::vector<PluginBundleRecord>{};
    empty.isProtected = true;
    empty.status = PluginStatus::protected_;
    const Plugin emptied = InventoryStateMigration::upgradePlugin(empty, noKeys);
    ASSERT_TRUE(emptied.bundles.has_value());
    EXPECT_TRUE(emptied.bundles->empty());
    EXPECT_FALSE(emptied.isProtected);
    EXPECT_EQ(emptied.status, PluginStatus::protected_);
}

TEST(InventoryStateMigration, TheProtectionKeyIsLowercasedWholeAndComparedAsPlainText) {
    const Plugin plugin = product(QStringLiteral("Éclat"), QStringLiteral("Reverb"), {"VST3"});
    // The key in the set is in decomposed form: canonically equivalent, so it matches.
    const InventoryStateMigration::ProtectedKeySet decomposed = {QStringLiteral("e\u0301clat|reverb")};
    EXPECT_TRUE(InventoryStateMigration::upgradePlugin(plugin, decomposed).isProtected);
    const InventoryStateMigration::ProtectedKeySet folded = {QStringLiteral("eclat|reverb")};
    EXPECT_FALSE(InventoryStateMigration::upgradePlugin(plugin, folded).isProtected);

    Plugin nameless = product({}, {}, {"AU", "VST3"});
    EXPECT_TRUE(InventoryStateMigration::upgradePlugin(nameless, {QStringLiteral("|")}).isProtected);
    EXPECT_FALSE(InventoryStateMigration::upgradePlugin(nameless, InventoryStateMigration::ProtectedKeySet{})
                     .isProtected);
}

TEST(InventoryStateMigration, AHostedProductStaysAsItWasButProtected) {
    Plugin hosted = product("Waves", "SSL EV2", {"AU", "VST3"});
    hosted.status = PluginStatus::hostedByShell;
    const Plugin upgraded = InventoryStateMigration::upgradePlugin(hosted, {});
    EXPECT_TRUE(upgraded.isProtected);
    EXPECT_EQ(upgraded.status, PluginStatus::hostedByShell);
    EXPECT_EQ(upgraded.bundles, std::nullopt);
}

} // namespace
} // namespace quorvane
