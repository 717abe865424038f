#pragma once

#include "Support/Fixtures/FixtureRecords.h"
#include "Support/Fixtures/TemporaryTree.h"

#include "Model/Identity.h"
#include "Model/Plugin.h"
#include "Model/PluginBundleRecord.h"
#include "Planning/FileSystemProbe.h"
#include "Shared/PathPolicy.h"
#include "Shared/SystemRoots.h"
#include "Support/Uuid.h"

#include <QDir>
#include <QFile>

#include <optional>
#include <vector>

namespace quorvane::testing {

// A system tree beneath a temporary folder: approved plug-in roots, the quarantine root and a home
// folder with its trash, plus builders for products and bundle records.
class PlanningFixture {
public:
    PlanningFixture()
        : roots(SystemRoots::underPrefix(tree.path())), policy(roots), home(tree.makeDirectory("home/user")),
          fileSystem(home) {}

    QString vst3(const QString& name) const { return roots.path("/Library/Audio/Plug-Ins/VST3/" + name); }
    QString vst2(const QString& name) const { return roots.path("/Library/Audio/Plug-Ins/VST/" + name); }
    QString components(const QString& name) const {
        return roots.path("/Library/Audio/Plug-Ins/Components/" + name);
    }
    QString aax(const QString& name) const {
        return roots.path("/Library/Application Support/Avid/Audio/Plug-Ins/" + name);
    }
    QString clap(const QString& name) const { return roots.path("/Library/Audio/Plug-Ins/CLAP/" + name); }
    QString quarantineRoot() const { return policy.quarantineRoot(); }
    QString trashFolder() const { return home + "/.local/share/Trash/files"; }

    // A bundle folder on disk (and its parents).
    static QString makeBundle(const QString& path) {
        QDir().mkpath(path);
        return path;
    }

    static PluginBundleRecord active(const QString& format, const QString& path, bool isProtected = false,
                                     const QString& size = QStringLiteral("12.5 MB")) {
        return bundleRecord(format, path, isProtected, {.size = size});
    }

    // A record quarantined from `originalPath`, with its copy at <quarantine root>/<op>/<file name>.
    PluginBundleRecord quarantined(const QString& format, const QString& originalPath, bool createCopy = true,
                                   bool isProtected = false) const {
        const QString operationID = uuidText(makeUuid());
        const QString copy = quarantineRoot() + "/" + operationID + "/" + QFileInfo(originalPath).fileName();
        if (createCopy)
            makeBundle(copy);
        return withQuarantine(active(format, copy, isProtected), originalPath, copy, operationID);
    }

    static Plugin product(const QString& name, const QString& manufacturer,
                          std::vector<PluginBundleRecord> records, PluginStatus status = PluginStatus::ok) {
        Plugin plugin = productOfRecords(name, manufacturer, std::move(records));
        plugin.status = status;
        return plugin;
    }

    static PluginBundleSelection select(const Plugin& plugin, size_t record = 0) {
        return {plugin.id, plugin.bundles->at(record).id()};
    }

    TemporaryTree tree;
    SystemRoots roots;
    PathPolicy policy;
    QString home;
    SystemFileSystemProbe fileSystem;
};

} // namespace quorvane::testing
