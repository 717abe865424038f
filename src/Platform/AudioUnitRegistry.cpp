#include "Platform/AudioUnitRegistry.h"

#include "Platform/DirectoryWalker.h"
#include "Platform/PropertyList.h"

#include <QFileInfo>
#include <QVariantList>

namespace quorvane {

namespace {

QString versionText(const QVariant& value) {
    if (value.typeId() == QMetaType::QString)
        return value.toString().trimmed();
    if (value.typeId() != QMetaType::LongLong && value.typeId() != QMetaType::ULongLong)
        return {};
    const quint64 packed = value.toULongLong();
    if (value.typeId() == QMetaType::LongLong && value.toLongLong() < 0)
        return {};
    if (packed > 0xFFFFFFFFULL)
        return {};
    return QStringLiteral("%1.%2.%3").arg(packed >> 16).arg((packed >> 8) & 0xFF).arg(packed & 0xFF);
}

QString infoPlistPath(const QString& bundle) {
    const QString deep = bundle + QStringLiteral("/Contents/Info.plist");
    if (QFileInfo::exists(deep))
        return deep;
    return bundle + QStringLiteral("/Info.plist");
}

} // namespace

std::vector<AudioUnitComponent> audioComponentsOf(const QVariantMap& infoDictionary) {
    std::vector<AudioUnitComponent> components;
    const QVariant list = infoDictionary.value(QStringLiteral("AudioComponents"));
    if (list.typeId() != QMetaType::QVariantList)
        return components;
    for (const QVariant& item : list.toList()) {
        if (item.typeId() != QMetaType::QVariantMap)
            continue;
        const QVariantMap entry = item.toMap();
        const QVariant name = entry.value(QStringLiteral("name"));
        if (name.typeId() != QMetaType::QString)
            continue;
        const QString fullName = name.toString();
        AudioUnitComponent component;
        const qsizetype colon = fullName.indexOf(QLatin1Char(':'));
        if (colon < 0) {
            component.name = fullName.trimmed();
        } else {
            component.manufacturerName = fullName.left(colon).trimmed();
            component.name = fullName.mid(colon + 1).trimmed();
        }
        component.versionString = versionText(entry.value(QStringLiteral("version")));
        components.push_back(std::move(component));
    }
    return components;
}

std::vector<AudioUnitComponent> ComponentFolderRegistry::allComponents() const {
    std::vector<AudioUnitComponent> components;
    for (const QString& folder : m_folders) {
        auto walker = DirectoryWalker::open(folder);
        if (!walker)
            continue;
        while (auto entry = walker->next()) {
            if (!entry->name.endsWith(QStringLiteral(".component"), Qt::CaseInsensitive))
                continue;
            walker->skipDescendants();
            if (!entry->isDirectory)
                continue;
            auto info = readPropertyListDictionary(infoPlistPath(entry->path));
            if (!info)
                continue;
            for (AudioUnitComponent& component : audioComponentsOf(*info))
                components.push_back(std::move(component));
        }
    }
    return components;
}

} // namespace quorvane
