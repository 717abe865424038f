#pragma once

#include "Support/EnumText.h"

#include <QString>

#include <optional>
#include <vector>

namespace quorvane {

// The sections of the window, in sidebar order, stored by their titles. Kept with the kit
// because the screens take a binding to the selected section.
enum class AppSection {
    inventory,
    protected_, // `protected` is a C++ keyword
    quarantine,
    formatCleanup,
    permanentQuarantine,
    trashRecovery,
    history,
    pluginManagement,
    safetyGuide,
    about,
};

const EnumTextTable<AppSection>& appSectionTable();
const std::vector<AppSection>& allAppSections();
// The title, which is also the raw value.
QString rawValue(AppSection section);
// Exactly one of the ten titles (case-sensitive, whole text); none for any other text.
std::optional<AppSection> appSectionFromRawValue(const QString& text);
// The row symbol.
QString appSectionIcon(AppSection section);

} // namespace quorvane
