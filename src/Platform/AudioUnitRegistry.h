#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>

#include <vector>

namespace quorvane {

// One registered Audio Unit, as the registry describes it.
struct AudioUnitComponent {
    QString manufacturerName;
    QString name;
    QString versionString; // empty when the component states no version

    bool operator==(const AudioUnitComponent&) const = default;
};

// The system's registry of installed Audio Units.
class AudioUnitRegistry {
public:
    virtual ~AudioUnitRegistry() = default;
    // Every registered component, read afresh on each call.
    virtual std::vector<AudioUnitComponent> allComponents() const = 0;
};

// The registry as the system builds it: the `AudioComponents` entries of the Info.plist of every
// `.component` bundle in the given Components folders (a bundle inside a bundle is not looked at).
// Each entry's "name" reads "Manufacturer: Product"; its "version" packs major, minor and bug-fix
// numbers into 16, 8 and 8 bits.
class ComponentFolderRegistry final : public AudioUnitRegistry {
public:
    explicit ComponentFolderRegistry(QStringList componentFolders) : m_folders(std::move(componentFolders)) {}

    std::vector<AudioUnitComponent> allComponents() const override;

private:
    QStringList m_folders;
};

// The components one Info.plist dictionary declares.
std::vector<AudioUnitComponent> audioComponentsOf(const QVariantMap& infoDictionary);

} // namespace quorvane
