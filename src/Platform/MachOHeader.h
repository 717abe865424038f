#pragma once

#include <QByteArrayView>
#include <QString>

#include <fcntl.h>
#include <optional>

namespace quorvane {

enum class MachOArchitecture { appleSilicon, intel, universal, unknown };

// The four bytes at `offset` as an unsigned number in the given byte order; none when any of them
// lies outside `bytes`.
std::optional<quint32> readUInt32(QByteArrayView bytes, qint64 offset, bool littleEndian);

// The processors a Mach-O image runs on, from its header: a thin image (32- or 64-bit, either byte
// order) by its CPU type, a universal image by the CPU types of all its entries. A short buffer, a
// count that points past the end, or any other magic: unknown.
MachOArchitecture machOArchitecture(QByteArrayView bytes);

// The same for a file, reading only the header words; unreadable files and anything that is not a
// regular file are unknown. A relative path is taken from the open folder `directoryFd`.
MachOArchitecture machOArchitectureOfFile(const QString& path, int directoryFd = AT_FDCWD);

} // namespace quorvane
