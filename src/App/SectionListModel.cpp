#include "App/SectionListModel.h"

namespace quorvane {

SectionListModel::SectionListModel(QObject* parent) : QAbstractListModel(parent) {}

void SectionListModel::setCounts(const SidebarCounts& counts) {
    if (counts == m_counts)
        return;
    m_counts = counts;
    emit dataChanged(index(0), index(rowCount() - 1), {badgeRole});
}

std::optional<AppSection> SectionListModel::section(int row) const {
    const auto& sections = allAppSections();
    if (row < 0 || row >= static_cast<int>(sections.size()))
        return std::nullopt;
    return sections[static_cast<size_t>(row)];
}

int SectionListModel::row(AppSection section) const {
    const auto& sections = allAppSections();
    for (size_t index = 0; index < sections.size(); ++index) {
        if (sections[index] == section)
            return static_cast<int>(index);
    }
    return -1;
}

int SectionListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(allAppSections().size());
}

QVariant SectionListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const AppSection shown = *section(index.row());
    switch (role) {
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        return rawValue(shown);
    case sectionRole:
        return static_cast<int>(shown);
    case symbolRole:
        return appSectionIcon(shown);
    case badgeRole:
        if (const auto badge = sidebarBadgeText(shown, m_counts))
            return *badge;
        return {};
    }
    return {};
}

} // namespace quorvane
