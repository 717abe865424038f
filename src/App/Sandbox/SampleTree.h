#pragma once

#include "Shared/SystemRoots.h"

#include <QString>

#include <expected>
#include <vector>

namespace quorvane {

// One bundle of the sample tree, as a scan should report it.
struct SampleBundle {
    QString name;
    QString manufacturer;
    // "AU", "VST2", "VST3", "AAX" or "CLAP".
    QString format;
    // Absolute, beneath the roots it was written under.
    QString path;
};

// A small, varied tree of plug-in bundles for trying the program: several manufacturers, every
// format, a product with more than one format, a Waves shell (which hosts two Audio Units) and a
// product the sandbox marks protected. Every bundle has an Info.plist, a Mach-O executable and a
// resource file that gives it a size.
namespace SampleTree {

// The bundles in the order they are written, placed beneath `roots`.
std::vector<SampleBundle> bundles(const SystemRoots& roots);
// The Audio Units that the shell bundle declares, each shown as a product of its own.
std::vector<QString> shellHostedNames();
// The product the sandbox protects before the first scan.
QString protectedManufacturer();
QString protectedName();

// Writes every bundle, with the folders above it; an existing bundle is left as it is. Returns
// the bundles, or the path that could not be written.
[[nodiscard]] std::expected<std::vector<SampleBundle>, QString> write(const SystemRoots& roots);

} // namespace SampleTree

} // namespace quorvane
