#include "Views/Kit/AppSection.h"

namespace quorvane {

const EnumTextTable<AppSection>& appSectionTable() {
    static const EnumTextTable<AppSection> table{
        {AppSection::inventory, QStringLiteral("Inventory")},
        {AppSection::protected_, QStringLiteral("Protected")},
        {AppSection::quarantine, QStringLiteral("Quarantine")},
        {AppSection::formatCleanup, QStringLiteral("Format Cleanup")},
        {AppSection::permanentQuarantine, QStringLiteral("Permanent Quarantine")},
        {AppSection::trashRecovery, QStringLiteral("Trash Recovery")},
        {AppSection::history, QStringLiteral("History")},
        {AppSection::pluginManagement, QStringLiteral("Plugin Management")},
        {AppSection::safetyGuide, QStringLiteral("Safety Guide")},
        {AppSection::about, QStringLiteral("About")},
    };
    return table;
}

const std::vector<AppSection>& allAppSections() {
    static const std::vector<AppSection> sections = [] {
        std::vector<AppSection> result;
        for (const auto& entry : appSectionTable().entries())
            result.push_back(entry.first);
        return result;
    }();
    return sections;
}

QString rawValue(AppSection section) {
    return appSectionTable().text(section);
}

std::optional<AppSection> appSectionFromRawValue(const QString& text) {
    return appSectionTable().parse(text);
}

QString appSectionIcon(AppSection section) {
    switch (section) {
    case AppSection::inventory:
        return QStringLiteral("externaldrive");
    case AppSection::protected_:
        return QStringLiteral("shield.checkered");
    case AppSection::quarantine:
        return QStringLiteral("exclamationmark.triangle");
    case AppSection::formatCleanup:
        return QStringLiteral("slider.horizontal.3");
    case AppSection::permanentQuarantine:
        return QStringLiteral("lock.fill");
    case AppSection::trashRecovery:
        return QStringLiteral("arrow.uturn.backward.circle");
    case AppSection::history:
        return QStringLiteral("clock.arrow.circlepath");
    case AppSection::pluginManagement:
        return QStringLiteral("person.badge.key");
    case AppSection::safetyGuide:
        return QStringLiteral("checkmark.shield");
    case AppSection::about:
        return QStringLiteral("info.circle");
    }
    return {};
}

} // namespace quorvane
