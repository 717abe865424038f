#include "Views/Kit/KitAppearance.h"

#include "Views/Kit/Palette.h"
#include "Views/Kit/TextStyle.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

namespace quorvane {

void applyKitAppearance(QApplication& application) {
    if (auto* fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        application.setStyle(fusion);

    QFont font = application.font();
    font.setPixelSize(bodyPixelSize);
    application.setFont(font);

    const QColor white(Qt::white);
    QPalette palette;
    palette.setColor(QPalette::Window, Palette::background());
    palette.setColor(QPalette::WindowText, white);
    palette.setColor(QPalette::Base, Palette::panel());
    palette.setColor(QPalette::AlternateBase, Palette::raisedPanel());
    palette.setColor(QPalette::Text, white);
    palette.setColor(QPalette::Button, Palette::raisedPanel());
    palette.setColor(QPalette::ButtonText, white);
    palette.setColor(QPalette::BrightText, white);
    palette.setColor(QPalette::Highlight, Palette::accent());
    palette.setColor(QPalette::HighlightedText, white);
    palette.setColor(QPalette::Link, Palette::accent());
    palette.setColor(QPalette::ToolTipBase, Palette::raisedPanel());
    palette.setColor(QPalette::ToolTipText, white);
    palette.setColor(QPalette::PlaceholderText, Palette::secondaryText());
    palette.setColor(QPalette::Light, Palette::raisedPanel().lighter(140));
    palette.setColor(QPalette::Midlight, Palette::raisedPanel().lighter(120));
    palette.setColor(QPalette::Mid, Palette::panel());
    palette.setColor(QPalette::Dark, Palette::sidebarBackground());
    palette.setColor(QPalette::Shadow, Qt::black);
    const QColor disabled = withOpacity(white, 0.3);
    palette.setColor(QPalette::Disabled, QPalette::WindowText, disabled);
    palette.setColor(QPalette::Disabled, QPalette::Text, disabled);
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, disabled);
    application.setPalette(palette);
}

} // namespace quorvane
