#include "Store/DisplayTime.h"
#include "StoreTestSupport.h"
#include "Support/LocaleText.h"

#include <QSysInfo>

namespace quorvane::testing {
namespace {

class StoreReportTest : public StoreFixture {
protected:
    void SetUp() override {
        StoreFixture::SetUp();
        support = tree.makeDirectory("home/.local/share");
    }

    static QStringList lines(const QString& report) { return report.split(u'\n'); }

    // What the compiler targets, named as the report names it; not the platform the texts mention.
    static QString builtArchitecture() {
#if defined(__x86_64__)
        return QStringLiteral("x86_64");
#elif defined(__aarch64__)
        return QStringLiteral("arm64");
#else
        return QSysInfo::buildCpuArchitecture();
#endif
    }
};

TEST_F(StoreReportTest, aScannedInventoryIsReportedLineByLine) {
    const QString operation = QStringLiteral("5B2E9C1A-7F3D-4E8B-A6C0-1D2E3F4A5B6C");
    Plugin proQ = product(
        QStringLiteral("Pro-Q 3"), QStringLiteral("FabFilter"),
        {activeRecord(QStringLiteral("AU"),
                      QStringLiteral("/Library/Audio/Plug-Ins/Components/Pro-Q 3.component"), true),
         activeRecord(QStringLiteral("VST3"), QStringLiteral("/Library/Audio/Plug-Ins/VST3/Pro-Q 3.vst3")),
         quarantinedRecord(
             QStringLiteral("AAX"),
             QStringLiteral("/Library/Application Support/Avid/Audio/Plug-Ins/Pro-Q 3.aaxplugin"),
             QStringLiteral("/Library/Application Support/Quorvane/Quarantine/") + operation +
                 QStringLiteral("/Pro-Q 3.aaxplugin"),
             operation)});
    const Plugin single =
        bareProduct(QStringLiteral("Decapitator"), QStringLiteral("Soundtoys"), {QStringLiteral("VST3")},
                    QStringLiteral("/Library/Audio/Plug-Ins/VST3/Decapitator.vst3"));
    Plugin hosted =
        bareProduct(QStringLiteral("SSL E-Channel"), QStringLiteral("Waves"), {QStringLiteral("AU")},
                    QStringLiteral("Via WaveShell"), PluginStatus::hostedByShell);
    hosted.isProtected = true;
    PersistedInventory state = stateWith({proQ, single, hosted});
    state.lastScanDate = Timestamp{clock.sinceReferenceDate - 86400};
    state.lastReconciliation = ScanReconciliationSummary{3, 0, 1, false};
    state.inaccessibleLocations = QStringList{home + QStringLiteral("/Library/Audio/Plug-Ins/VST3/"), home,
                                              QStringLiteral("/Volumes/Other/VST")};
    state.history = {HistoryItem{makeUuid(),
                                 QStringLiteral("All Plugins"),
                                 HistoryKind::scan,
                                 QStringLiteral("x"),
                                 QStringLiteral("1:00 PM"),
                                 {},
                                 {},
                                 {},
                                 {}},
                     HistoryItem{makeUuid(),
                                 QStringLiteral("Pro-Q 3"),
                                 HistoryKind::quarantine,
                                 QStringLiteral("y"),
                                 QStringLiteral("1:00 PM"),
                                 operation,
                                 QStringLiteral("AAX"),
                                 {},
                                 {}}};
    writeState(state);
    const auto store = makeStore();

    const QString report = store->diagnosticReport(std::nullopt);

    EXPECT_EQ(
        lines(report),
        (QStringList{
            QStringLiteral("Quorvane Diagnostic Report"),
            QStringLiteral("App: Quorvane 1.0.1 (Build 40)"),
            QStringLiteral("Generated: Jan 2, 2024, 3:04:05\u202FPM"),
            QStringLiteral("macOS: Debian GNU/Linux 12 (bookworm)"),
            QStringLiteral("Architecture: ") + builtArchitecture(),
            QString(),
            QStringLiteral("Inventory"),
            QStringLiteral("Plugin products: 3"),
            QStringLiteral("Active format bundles: 3"),
            QStringLiteral("Quarantined format bundles: 1"),
            QStringLiteral("Protected products: 2"),
            QStringLiteral("History records: 2"),
            QStringLiteral("Last scan: Jan 1, 2024, 3:04:05\u202FPM"),
            QStringLiteral("Reconciliation: Rescan: 3 added, 0 missing, 1 manually restored."),
            QString(),
            QStringLiteral("Inaccessible locations"),
            QStringLiteral("- ~/Library/Audio/Plug-Ins/VST3"),
            QStringLiteral("- ~"),
            QStringLiteral("- /Volumes/Other/VST"),
            QString(),
            QStringLiteral("Plugin Management"),
            QStringLiteral("Status was not included in this report."),
            QString(),
            QStringLiteral("Storage"),
            QStringLiteral("State folder: ~/.local/share/Quorvane"),
            QString(),
            QStringLiteral("Safety"),
            QStringLiteral(
                "Quorvane does not permanently delete plugin bundles. Trash operations use macOS Trash."),
            QStringLiteral(
                "This report omits the full plugin inventory and quarantine operation identifiers."),
        }));
    EXPECT_FALSE(report.endsWith(u'\n'));
    for (const QString& secret : {QStringLiteral("Pro-Q"), QStringLiteral("Decapitator"), operation,
                                  QStringLiteral("/Library/Audio/Plug-Ins/Components")})
        EXPECT_FALSE(report.contains(secret)) << secret.toStdString();
    EXPECT_EQ(store->quarantinedBundleCount(), 1);
}

TEST_F(StoreReportTest, aNeverScannedStoreAndAGivenSectionAreReportedAsSuch) {
    writeState(stateWith({}));
    const auto store = makeStore();
    const QString section =
        QStringLiteral("Plugin Management\nHelper status: Enabled\nSecure handshake: Connected");

    const QStringList report = lines(store->diagnosticReport(section));

    ASSERT_EQ(report.size(), 28);
    EXPECT_EQ(report[7], QStringLiteral("Plugin products: 0"));
    EXPECT_EQ(report[12], QStringLiteral("Last scan: Never"));
    EXPECT_EQ(report[13], QStringLiteral("Reconciliation: No reconciliation result recorded."));
    EXPECT_EQ(
        report.mid(15, 12),
        (QStringList{
            QStringLiteral("Inaccessible locations"), QStringLiteral("None"), QString(),
            QStringLiteral("Plugin Management"), QStringLiteral("Helper status: Enabled"),
            QStringLiteral("Secure handshake: Connected"), QString(), QStringLiteral("Storage"),
            QStringLiteral("State folder: ~/.local/share/Quorvane"), QString(), QStringLiteral("Safety"),
            QStringLiteral(
                "Quorvane does not permanently delete plugin bundles. Trash operations use macOS Trash.")}));
}

TEST_F(StoreReportTest, withoutAnApplicationSupportFolderTheStateFolderIsUnavailable) {
    support.clear();
    const auto store = makeStore();
    EXPECT_TRUE(
        lines(store->diagnosticReport(std::nullopt)).contains(QStringLiteral("State folder: Unavailable")));
}

// Formatters are kept between calls; a new default time zone or text locale still shows at once.
TEST(DisplayTime, FollowsAChangeOfTimeZoneAndTextLocale) {
    const Timestamp instant{725900645}; // 2024-01-02 15:04:05 UTC
    const QString locale = textLocale();
    setTextLocale(QStringLiteral("en_US"));
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone("UTC"));
    EXPECT_TRUE(shortTimeText(instant).startsWith(QStringLiteral("3:04")))
        << shortTimeText(instant).toStdString();
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone("America/New_York"));
    EXPECT_TRUE(shortTimeText(instant).startsWith(QStringLiteral("10:04")));
    setTextLocale(QStringLiteral("de_DE"));
    EXPECT_TRUE(abbreviatedDateShortTimeText(instant).endsWith(QStringLiteral("10:04")))
        << abbreviatedDateShortTimeText(instant).toStdString();
    setTextLocale(locale);
    icu::TimeZone::adoptDefault(icu::TimeZone::createTimeZone("UTC"));
}

} // namespace
} // namespace quorvane::testing
