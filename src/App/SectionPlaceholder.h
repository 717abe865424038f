#pragma once

#include "Views/Kit/AppSection.h"

#include <QWidget>

namespace quorvane {

// The page a section shows until its screen exists: the section's title, nothing else.
class SectionPlaceholder : public QWidget {
    Q_OBJECT
public:
    explicit SectionPlaceholder(AppSection section, QWidget* parent = nullptr);

    AppSection section() const { return m_section; }

private:
    AppSection m_section;
};

} // namespace quorvane
