#include "ScreenTestSupport.h"
#include "Support/Fixtures/TemporaryTree.h"
#include "Views/Screens/Shared/AtomicExport.h"
#include "Views/Screens/Shared/CsvWriter.h"

#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace quorvane::testing {
namespace {

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

TEST(CsvWriterTest, FieldsAreNeutralisedThenQuoted) {
    const struct {
        QString value;
        QString written;
    } cases[] = {
        {QStringLiteral("Plain Name"), QStringLiteral("Plain Name")},
        {QString(), QString()},
        {QStringLiteral("Comma, Inc."), QStringLiteral("\"Comma, Inc.\"")},
        {QStringLiteral("The \"Big\" One"), QStringLiteral("\"The \"\"Big\"\" One\"")},
        {QStringLiteral("two\nlines"), QStringLiteral("\"two\nlines\"")},
        {QStringLiteral("carriage\rreturn"), QStringLiteral("\"carriage\rreturn\"")},
        {QStringLiteral("AU | VST3"), QStringLiteral("AU | VST3")},
        {QStringLiteral("=HYPERLINK(\"x\")"), QStringLiteral("\"'=HYPERLINK(\"\"x\"\")\"")},
        {QStringLiteral("+1"), QStringLiteral("'+1")},
        {QStringLiteral("-2"), QStringLiteral("'-2")},
        {QStringLiteral("@SUM(A1)"), QStringLiteral("'@SUM(A1)")},
        {QStringLiteral("\tTab"), QStringLiteral("'\tTab")},
        {QStringLiteral("\rLead"), QStringLiteral("\"'\rLead\"")},
        // Only the first character decides.
        {QStringLiteral("A-B=C"), QStringLiteral("A-B=C")},
        {QStringLiteral("Zoë Ørsted"), QStringLiteral("Zoë Ørsted")},
    };
    for (const auto& test : cases)
        EXPECT_EQ(CsvWriter::field(test.value), test.written) << test.value.toStdString();
}

TEST(CsvWriterTest, HeaderIsWrittenAsGivenAndEveryLineEndsWithALineFeed) {
    CsvWriter empty({QStringLiteral("Plugin"), QStringLiteral("Bundle Locations")});
    EXPECT_EQ(empty.bytes(), QByteArray("Plugin,Bundle Locations\n"));

    CsvWriter writer({QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")});
    writer.addRow({QStringLiteral("1"), QStringLiteral("x,y"), QString()});
    writer.addRow({QStringLiteral("Zoë"), QStringLiteral("=2"), QStringLiteral("3")});
    EXPECT_EQ(writer.bytes(), QByteArray("A,B,C\n1,\"x,y\",\nZo\xc3\xab,'=2,3\n"));
}

TEST(FormattersTest, SizesAtOrBelowZeroAreZeroBytes) {
    const Formatters formatters;
    const struct {
        qint64 bytes;
        QString text;
    } cases[] = {{0, QStringLiteral("0 bytes")},
                 {-5, QStringLiteral("0 bytes")},
                 {1, QStringLiteral("1 byte")},
                 {3'400'000, QStringLiteral("3.4 MB")}};
    for (const auto& test : cases)
        EXPECT_EQ(formatters.byteCount(test.bytes), test.text) << test.bytes;
}

class AtomicExportTest : public ::testing::Test {
protected:
    SaveRequest request{QStringLiteral("Export Things"), QStringLiteral("Things.csv"),
                        QStringLiteral("CSV (*.csv)"), QStringLiteral("csv")};
    AnsweringSavePanel panel;
    TemporaryTree tree;
    int built = 0;
    std::function<QByteArray()> contents = [this] {
        ++built;
        return QByteArray("a,b\n");
    };
};

TEST_F(AtomicExportTest, CancelledPanelWritesNothingAndBuildsNothing) {
    EXPECT_EQ(exportAtomically(panel, nullptr, request, contents), ExportOutcome{});
    ASSERT_EQ(panel.asked.size(), 1u);
    EXPECT_EQ(panel.asked[0].title, request.title);
    EXPECT_EQ(panel.asked[0].acceptLabel, QStringLiteral("Export"));
    EXPECT_EQ(built, 0);
}

TEST_F(AtomicExportTest, WritesTheChosenFileReplacingAnEarlierOne) {
    const QString path = tree.writeFile(QStringLiteral("out/Things.csv"), "old contents");
    panel.answer = path;
    EXPECT_EQ(exportAtomically(panel, nullptr, request, contents),
              (ExportOutcome{ExportOutcome::Kind::written, path, {}}));
    EXPECT_EQ(readFile(path), QByteArray("a,b\n"));
    EXPECT_EQ(built, 1);
}

TEST_F(AtomicExportTest, FailedWriteReportsTheErrorAndKeepsTheEarlierFile) {
    const QString folder = tree.makeDirectory(QStringLiteral("locked"));
    const QString existing = tree.writeFile(QStringLiteral("locked/Things.csv"), "old contents");
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0500), 0);
    // Root writes anyway; a missing folder fails for everyone.
    const QString missing = tree.path(QStringLiteral("missing/Things.csv"));
    for (const QString& path : {existing, missing}) {
        panel.answer = path;
        const ExportOutcome outcome = exportAtomically(panel, nullptr, request, contents);
        if (path == existing && ::geteuid() == 0)
            continue;
        EXPECT_EQ(outcome.kind, ExportOutcome::Kind::failed) << path.toStdString();
        EXPECT_TRUE(outcome.error.startsWith(QStringLiteral("“%1” could not be written: ").arg(path)))
            << outcome.error.toStdString();
    }
    ::chmod(QFile::encodeName(folder).constData(), 0700);
    if (::geteuid() != 0) {
        EXPECT_EQ(readFile(existing), QByteArray("old contents"));
    }
    EXPECT_FALSE(QFile::exists(missing));
}

} // namespace
} // namespace quorvane::testing
