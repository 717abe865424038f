#pragma once

#include "App/SidebarCounts.h"
#include "Views/Kit/AppSection.h"

#include <QAbstractListModel>

#include <optional>

namespace quorvane {

// One row per section, in sidebar order, with its symbol and badge.
class SectionListModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { sectionRole = Qt::UserRole + 1, symbolRole, badgeRole };

    explicit SectionListModel(QObject* parent = nullptr);

    void setCounts(const SidebarCounts& counts);
    const SidebarCounts& counts() const { return m_counts; }
    std::optional<AppSection> section(int row) const;
    int row(AppSection section) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    SidebarCounts m_counts;
};

} // namespace quorvane
