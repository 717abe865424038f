// Executable headers as anyone who can write in a plug-in folder may leave them. After every input
// the reading of the bytes in memory and the reading of the same bytes as a file (header words
// only, the entry table in chunks) agree, and nothing shorter than a header has an architecture.

#include "FuzzCheck.h"
#include "Platform/MachOHeader.h"

#include <QFile>

#include <cstdint>

namespace {

using namespace quorvane;
using fuzz::require;

const QString& scratchFile() {
    static const QString path = fuzz::scratchFolder() + QStringLiteral("/executable");
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const MachOArchitecture fromBytes = machOArchitecture(bytes);
    if (size < 8)
        require(fromBytes == MachOArchitecture::unknown, "fewer than eight bytes are unknown");

    QFile file(scratchFile());
    require(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size(),
            "the scratch file is written");
    file.close();
    require(machOArchitectureOfFile(scratchFile()) == fromBytes, "bytes and file read alike");
    return 0;
}
