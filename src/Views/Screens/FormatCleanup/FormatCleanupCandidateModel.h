#pragma once

#include "Planning/FormatCleanupPlan.h"

#include <QAbstractListModel>
#include <QStyledItemDelegate>

namespace quorvane {

class FormatCleanupViewModel;

// The reviewed candidates of the current preview, one row each in plan order, checkable: the check
// state is the view-model's selection, so a preview of tens of thousands of bundles is one model
// and not a widget per row.
class FormatCleanupCandidateModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role {
        formatRole = Qt::UserRole + 1,
        // "<manufacturer> • <path>".
        detailRole,
        sizeTextRole,
        removesLastActiveFormatRole,
    };

    explicit FormatCleanupCandidateModel(FormatCleanupViewModel& viewModel, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    const std::vector<FormatCleanupCandidate>& candidates() const;

    FormatCleanupViewModel& m_viewModel;
};

// The warnings, then the exclusions, of the current preview: only their sentences, each with its
// symbol.
class FormatCleanupNoteModel : public QAbstractListModel {
    Q_OBJECT
public:
    enum Role { isWarningRole = Qt::UserRole + 1 };

    explicit FormatCleanupNoteModel(FormatCleanupViewModel& viewModel, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    FormatCleanupViewModel& m_viewModel;
};

// Draws a candidate row: the checkbox, the name with its format badge and the opt-in warning, the
// manufacturer and path truncated in the middle, and the size. A click on the checkbox or the
// space bar toggles it.
class FormatCleanupCandidateDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

    static QRect checkboxRect(const QRect& row);
};

} // namespace quorvane
