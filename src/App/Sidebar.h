#pragma once

#include "App/SidebarCounts.h"
#include "Views/Kit/AppSection.h"
#include "Views/Kit/Binding.h"
#include "Views/Kit/BundleImages.h"

#include <QWidget>

#include <optional>

class QListView;

namespace quorvane {

class SectionListModel;

// The left column: the product's header, one row per section with the five badges, the optional
// mascot and the footer panel. Selecting a row writes the section binding; clearing the selection
// writes none. It keeps no state of its own.
class Sidebar : public QWidget {
    Q_OBJECT
public:
    Sidebar(Binding<std::optional<AppSection>> section, const ImageLoader& images = bundleImageLoader(),
            QWidget* parent = nullptr);

    void setCounts(const SidebarCounts& counts);
    // Shows the binding's section as the highlighted row (none highlighted for none).
    void refreshSelection();

    QListView* list() const { return m_list; }
    SectionListModel* model() const { return m_model; }

private:
    Binding<std::optional<AppSection>> m_section;
    QListView* m_list;
    SectionListModel* m_model;
    bool m_applying = false;
};

} // namespace quorvane
