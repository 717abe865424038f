#include "Platform/MachOHeader.h"

#include "Support/Fixtures/FixturePluginBundles.h"
#include "Support/Fixtures/TemporaryTree.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace quorvane {
namespace {

using testing::cpuTypeArm64;
using testing::cpuTypePowerPC;
using testing::cpuTypeX86;
using testing::cpuTypeX86_64;
using testing::thinMachO;
using testing::universalMachO;

struct HeaderCase {
    const char* name;
    QByteArray bytes;
    MachOArchitecture expected;
};

std::vector<HeaderCase> headerCases() {
    QByteArray countPastEnd = universalMachO({cpuTypeArm64, cpuTypeX86_64}, false, false, 3);
    QByteArray lastEntryCut = universalMachO({cpuTypeX86_64, cpuTypeArm64});
    lastEntryCut.truncate(8 + 20 + 3); // the second CPU type lacks its last byte
    QByteArray lastWordOnly = universalMachO({cpuTypeX86_64, cpuTypeArm64});
    lastWordOnly.truncate(8 + 20 + 4); // the second entry's CPU type is all there is of it
    return {
        {"thin 64-bit little-endian arm64", thinMachO(cpuTypeArm64, true, true),
         MachOArchitecture::appleSilicon},
        {"thin 64-bit big-endian arm64", thinMachO(cpuTypeArm64, false, true),
         MachOArchitecture::appleSilicon},
        {"thin 32-bit little-endian x86", thinMachO(cpuTypeX86, true, false), MachOArchitecture::intel},
        {"thin 32-bit big-endian x86_64", thinMachO(cpuTypeX86_64, false, false), MachOArchitecture::intel},
        {"thin PowerPC", thinMachO(cpuTypePowerPC, false, false), MachOArchitecture::unknown},
        {"thin, only eight bytes", thinMachO(cpuTypeArm64).first(8), MachOArchitecture::appleSilicon},
        {"seven bytes", thinMachO(cpuTypeArm64).first(7), MachOArchitecture::unknown},
        {"empty", QByteArray(), MachOArchitecture::unknown},
        {"fat x86_64 + arm64", universalMachO({cpuTypeX86_64, cpuTypeArm64}), MachOArchitecture::universal},
        {"fat64 arm64", universalMachO({cpuTypeArm64}, true), MachOArchitecture::appleSilicon},
        {"fat swapped x86", universalMachO({cpuTypeX86}, false, true), MachOArchitecture::intel},
        {"fat64 swapped x86_64 + arm64", universalMachO({cpuTypeX86_64, cpuTypeArm64}, true, true),
         MachOArchitecture::universal},
        {"fat PowerPC only", universalMachO({cpuTypePowerPC}), MachOArchitecture::unknown},
        {"fat without entries", universalMachO({}), MachOArchitecture::unknown},
        {"fat count past the end", countPastEnd, MachOArchitecture::unknown},
        {"fat last entry cut short", lastEntryCut, MachOArchitecture::unknown},
        {"fat last CPU type just fits", lastWordOnly, MachOArchitecture::universal},
        {"fat count of 2^32 - 1", universalMachO({cpuTypeArm64}, false, false, 0xFFFFFFFF),
         MachOArchitecture::unknown},
        {"ELF",
         QByteArray("\x7f"
                    "ELF\x02\x01\x01\x00",
                    8),
         MachOArchitecture::unknown},
    };
}

TEST(MachOHeader, ReadsThinAndUniversalHeadersFromBytesAndFiles) {
    testing::TemporaryTree tree;
    int index = 0;
    for (const HeaderCase& headerCase : headerCases()) {
        EXPECT_EQ(machOArchitecture(headerCase.bytes), headerCase.expected) << headerCase.name;
        const QString file = tree.writeFile(QString::number(index++), headerCase.bytes);
        EXPECT_EQ(machOArchitectureOfFile(file), headerCase.expected) << headerCase.name;
    }
}

TEST(MachOHeader, EveryTruncationOfAUniversalFileIsUnknownOrRight) {
    const QByteArray full = universalMachO({cpuTypeX86_64, cpuTypeArm64}, true);
    for (qsizetype length = 0; length < full.size(); ++length) {
        const MachOArchitecture architecture = machOArchitecture(QByteArrayView(full).first(length));
        const bool complete = length >= 8 + 32 + 4;
        EXPECT_EQ(architecture, complete ? MachOArchitecture::universal : MachOArchitecture::unknown)
            << length;
    }
}

TEST(MachOHeader, FilesThatAreNotRegularAreUnknown) {
    testing::TemporaryTree tree;
    EXPECT_EQ(machOArchitectureOfFile(tree.path("missing")), MachOArchitecture::unknown);
    EXPECT_EQ(machOArchitectureOfFile(tree.makeDirectory("Plugin.clap")), MachOArchitecture::unknown);
    ASSERT_EQ(::mkfifo(tree.path("pipe").toUtf8().constData(), 0644), 0);
    EXPECT_EQ(machOArchitectureOfFile(tree.path("pipe")), MachOArchitecture::unknown);
}

TEST(MachOHeader, GuardedReadsStayInsideTheBuffer) {
    const QByteArray bytes("\x01\x02\x03\x04\x05", 5);
    EXPECT_EQ(readUInt32(bytes, 0, false), 0x01020304u);
    EXPECT_EQ(readUInt32(bytes, 0, true), 0x04030201u);
    EXPECT_EQ(readUInt32(bytes, 1, false), 0x02030405u);
    EXPECT_EQ(readUInt32(bytes, 2, false), std::nullopt);
    EXPECT_EQ(readUInt32(bytes, -1, false), std::nullopt);
    EXPECT_EQ(readUInt32(bytes, std::numeric_limits<qint64>::max(), false), std::nullopt);
    EXPECT_EQ(readUInt32({}, 0, false), std::nullopt);
}

} // namespace
} // namespace quorvane
