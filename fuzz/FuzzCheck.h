#pragma once

#include <QString>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace quorvane::fuzz {

// What must hold after every input; a broken rule is a finding, reported like a crash.
inline void require(bool holds, const char* rule) {
    if (!holds) {
        std::fprintf(stderr, "broken: %s\n", rule);
        std::abort();
    }
}

// A folder made once for the files an input is written to (scripts/fuzz.sh points TMPDIR at memory).
inline const QString& scratchFolder() {
    static const QTemporaryDir folder;
    static const QString path = folder.path();
    require(folder.isValid(), "the scratch folder is made");
    return path;
}

} // namespace quorvane::fuzz
