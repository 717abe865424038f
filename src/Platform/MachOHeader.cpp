#include "Platform/MachOHeader.h"

#include "Platform/RegularFile.h"

#include <QByteArray>

#include <algorithm>

namespace quorvane {

namespace {

constexpr quint32 cpuTypeArm64 = 0x0100000C;
constexpr quint32 cpuTypeX86 = 7;
constexpr quint32 cpuTypeX86_64 = 0x01000007;

struct Layout {
    bool isUniversal = false;
    bool littleEndian = false;
    qint64 entrySize = 0;
};

std::optional<Layout> layoutOf(quint32 magic) {
    switch (magic) {
    case 0xFEEDFACE:
    case 0xFEEDFACF:
        return Layout{false, false, 0};
    case 0xCEFAEDFE:
    case 0xCFFAEDFE:
        return Layout{false, true, 0};
    case 0xCAFEBABE:
        return Layout{true, false, 20};
    case 0xCAFEBABF:
        return Layout{true, false, 32};
    case 0xBEBAFECA:
        return Layout{true, true, 20};
    case 0xBFBAFECA:
        return Layout{true, true, 32};
    default:
        return std::nullopt;
    }
}

MachOArchitecture thinArchitecture(std::optional<quint32> cpuType) {
    if (!cpuType)
        return MachOArchitecture::unknown;
    if (*cpuType == cpuTypeArm64)
        return MachOArchitecture::appleSilicon;
    if (*cpuType == cpuTypeX86 || *cpuType == cpuTypeX86_64)
        return MachOArchitecture::intel;
    return MachOArchitecture::unknown;
}

// Feeds the CPU types of a universal image's entries; the entries may come in several chunks.
class UniversalSummary {
public:
    void add(quint32 cpuType) {
        m_appleSilicon = m_appleSilicon || cpuType == cpuTypeArm64;
        m_intel = m_intel || cpuType == cpuTypeX86 || cpuType == cpuTypeX86_64;
    }
    MachOArchitecture result() const {
        if (m_appleSilicon && m_intel)
            return MachOArchitecture::universal;
        if (m_appleSilicon)
            return MachOArchitecture::appleSilicon;
        if (m_intel)
            return MachOArchitecture::intel;
        return MachOArchitecture::unknown;
    }

private:
    bool m_appleSilicon = false;
    bool m_intel = false;
};

// The offset just past the last entry's CPU type, when `count` entries fit in `size` bytes.
std::optional<qint64> universalEnd(quint32 count, qint64 entrySize, qint64 size) {
    if (count == 0)
        return std::nullopt;
    const qint64 end = 8 + (static_cast<qint64>(count) - 1) * entrySize + 4;
    if (end > size)
        return std::nullopt;
    return end;
}

} // namespace

std::optional<quint32> readUInt32(QByteArrayView bytes, qint64 offset, bool littleEndian) {
    if (offset < 0 || offset > bytes.size() - 4)
        return std::nullopt;
    const auto* b = reinterpret_cast<const unsigned char*>(bytes.data()) + offset;
    if (littleEndian)
        return quint32(b[0]) | quint32(b[1]) << 8 | quint32(b[2]) << 16 | quint32(b[3]) << 24;
    return quint32(b[0]) << 24 | quint32(b[1]) << 16 | quint32(b[2]) << 8 | quint32(b[3]);
}

MachOArchitecture machOArchitecture(QByteArrayView bytes) {
    if (bytes.size() < 8)
        return MachOArchitecture::unknown;
    const auto layout = layoutOf(*readUInt32(bytes, 0, false));
    if (!layout)
        return MachOArchitecture::unknown;
    if (!layout->isUniversal)
        return thinArchitecture(readUInt32(bytes, 4, layout->littleEndian));
    const auto count = readUInt32(bytes, 4, layout->littleEndian);
    if (!count || !universalEnd(*count, layout->entrySize, bytes.size()))
        return MachOArchitecture::unknown;
    UniversalSummary summary;
    for (quint32 k = 0; k < *count; ++k)
        summary.add(*readUInt32(bytes, 8 + static_cast<qint64>(k) * layout->entrySize, layout->littleEndian));
    return summary.result();
}

MachOArchitecture machOArchitectureOfFile(const QString& path, int directoryFd) {
    auto file = RegularFile::open(path, directoryFd);
    if (!file || file->size() < 8)
        return MachOArchitecture::unknown;
    auto header = file->read(0, 8);
    if (!header || header->size() < 8)
        return MachOArchitecture::unknown;
    const auto layout = layoutOf(*readUInt32(*header, 0, false));
    if (!layout)
        return MachOArchitecture::unknown;
    if (!layout->isUniversal)
        return thinArchitecture(readUInt32(*header, 4, layout->littleEndian));
    const auto count = readUInt32(*header, 4, layout->littleEndian);
    if (!count)
        return MachOArchitecture::unknown;
    const auto end = universalEnd(*count, layout->entrySize, file->size());
    if (!end)
        return MachOArchitecture::unknown;
    // The entry table is read in bounded chunks, so a hostile count costs time in proportion to
    // the file's real size and never more memory than one chunk.
    constexpr qint64 entriesPerChunk = 2048;
    UniversalSummary summary;
    for (qint64 first = 0; first < *count; first += entriesPerChunk) {
        const qint64 entries = std::min<qint64>(entriesPerChunk, *count - first);
        const qint64 offset = 8 + first * layout->entrySize;
        auto chunk = file->read(offset, (entries - 1) * layout->entrySize + 4);
        if (!chunk)
            return MachOArchitecture::unknown;
        for (qint64 k = 0; k < entries; ++k) {
            const auto cpuType = readUInt32(*chunk, k * layout->entrySize, layout->littleEndian);
            if (!cpuType) // the file shrank since it was opened
                return MachOArchitecture::unknown;
            summary.add(*cpuType);
        }
    }
    return summary.result();
}

} // namespace quorvane
