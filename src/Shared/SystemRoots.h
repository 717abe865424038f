#pragma once

#include <QString>

namespace quorvane {

// Where the system's literal folders (/Library/Audio/Plug-Ins/…, the quarantine root) live on this
// machine. Production uses the literal paths as they stand; tests and the demo move the whole tree
// beneath a temporary folder. The prefix is never read from the environment.
struct SystemRoots {
    QString prefix; // "" in production; otherwise an absolute, symlink-free folder without a trailing "/"

    static SystemRoots production();
    // `dir` is standardised and its symbolic links are resolved once, so that resolved paths
    // beneath it compare equal to the roots built from it. A `dir` of "/" gives production.
    static SystemRoots underPrefix(const QString& dir);

    // prefix + literal, e.g. path("/Library/Audio/Plug-Ins/VST3").
    QString path(const QString& literalAbsolutePath) const;

    bool isProduction() const { return prefix.isEmpty(); }

    bool operator==(const SystemRoots&) const = default;
};

} // namespace quorvane
