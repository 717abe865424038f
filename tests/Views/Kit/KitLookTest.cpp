#include "KitTestSupport.h"

#include "Views/Kit/AppSection.h"
#include "Views/Kit/KitButton.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/SymbolIcons.h"

#include <QApplication>
#include <QImage>

#include <gtest/gtest.h>

#include <map>

namespace quorvane {
namespace {

TEST(Palette, ColoursAreTheFixedSrgbValues) {
    struct Row {
        const QColor& color;
        int red, green, blue, alpha;
    };
    const Row rows[] = {
        {Palette::accent(), 5, 115, 255, 255},         {Palette::background(), 5, 11, 17, 255},
        {Palette::sidebarBackground(), 3, 8, 12, 255}, {Palette::panel(), 9, 19, 27, 255},
        {Palette::raisedPanel(), 11, 24, 34, 255},     {Palette::secondaryText(), 255, 255, 255, 158},
        {Palette::hairline(), 255, 255, 255, 31},      {Palette::amber(), 255, 173, 5, 255},
        {Palette::green(), 69, 194, 89, 255},          {Palette::red(), 242, 56, 56, 255},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(row.color.red(), row.red) << row.color.name().toStdString();
        EXPECT_EQ(row.color.green(), row.green) << row.color.name().toStdString();
        EXPECT_EQ(row.color.blue(), row.blue) << row.color.name().toStdString();
        EXPECT_EQ(row.color.alpha(), row.alpha) << row.color.name().toStdString();
    }
    EXPECT_NEAR(withOpacity(Palette::secondaryText(), 0.5).alphaF(), 0.31, 0.005);
    EXPECT_EQ(withOpacity(Palette::accent(), 0.08).alpha(), 20);
}

bool hasPaint(const QPixmap& pixmap, const QColor& expected) {
    const QImage image = pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
    bool painted = false;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (pixel.alpha() == 255) {
                if (pixel.rgb() != expected.rgb())
                    return false;
                painted = true;
            }
        }
    }
    return painted;
}

TEST(SymbolIcons, EveryMappedSymbolDrawsInTheRequestedColour) {
    for (const auto& [symbol, iconName] : symbolIconTable()) {
        const QPixmap pixmap = symbolPixmap(symbol, Palette::amber(), 24);
        EXPECT_EQ(pixmap.size(), QSize(24, 24)) << symbol.toStdString();
        EXPECT_TRUE(hasPaint(pixmap, Palette::amber()))
            << symbol.toStdString() << " -> " << iconName.toStdString();
    }
}

// Only a symbol and its filled variant may share a picture; two different symbols never look alike.
TEST(SymbolIcons, DifferentSymbolsHaveDifferentPictures) {
    std::map<QString, QString> symbolOfPicture;
    for (const auto& [symbol, iconName] : symbolIconTable()) {
        QString base = symbol;
        if (base.endsWith(QStringLiteral(".fill")))
            base.chop(5);
        const auto [at, added] = symbolOfPicture.try_emplace(iconName, base);
        EXPECT_TRUE(added || at->second == base)
            << symbol.toStdString() << " and " << at->second.toStdString() << " both draw "
            << iconName.toStdString();
    }
}

TEST(SymbolIcons, RepeatedRequestsKeepTheirOwnColourAndSize) {
    const struct {
        QColor color;
        int size;
    } requests[] = {
        {Palette::amber(), 16}, {Palette::red(), 16}, {Palette::amber(), 20}, {Palette::amber(), 16}};
    for (int round = 0; round < 2; ++round) {
        for (const auto& request : requests) {
            const QPixmap pixmap = symbolPixmap(u"shippingbox", request.color, request.size);
            EXPECT_EQ(pixmap.size(), QSize(request.size, request.size));
            EXPECT_TRUE(hasPaint(pixmap, request.color)) << request.color.name().toStdString();
        }
    }
}

TEST(SymbolIcons, UnknownSymbolIsATransparentPixmapOfTheSameSize) {
    EXPECT_TRUE(freedesktopIconName(u"no.such.symbol").isEmpty());
    const QImage image = symbolPixmap(u"no.such.symbol", Palette::red(), 18).toImage();
    ASSERT_EQ(image.size(), QSize(18, 18));
    for (int y = 0; y < 18; ++y) {
        for (int x = 0; x < 18; ++x)
            ASSERT_EQ(image.pixelColor(x, y).alpha(), 0);
    }
}

TEST(SymbolIcons, KitSymbolsAreMapped) {
    const QStringList symbols = {"externaldrive",
                                 "shield.checkered",
                                 "exclamationmark.triangle",
                                 "slider.horizontal.3",
                                 "lock.fill",
                                 "arrow.uturn.backward.circle",
                                 "clock.arrow.circlepath",
                                 "person.badge.key",
                                 "checkmark.shield",
                                 "info.circle",
                                 "checkmark",
                                 "chevron.down",
                                 "doc.on.doc",
                                 "checkmark.circle",
                                 "checkmark.circle.fill",
                                 "puzzlepiece.extension",
                                 "folder",
                                 "shield.slash",
                                 "lock.shield.fill",
                                 "shippingbox",
                                 "arrow.uturn.backward",
                                 "trash"};
    for (const QString& symbol : symbols)
        EXPECT_FALSE(freedesktopIconName(symbol).isEmpty()) << symbol.toStdString();
}

TEST(KitButton, KeepsItsStyleAndTintVisible) {
    KitButton prominent(QStringLiteral("Go"), QStringLiteral("folder"), ButtonStyle::borderedProminent);
    EXPECT_EQ(prominent.property("kitButtonStyle").toString(), QStringLiteral("borderedProminent"));
    EXPECT_FALSE(prominent.isFullWidth());
    prominent.setFullWidth();
    EXPECT_TRUE(prominent.isFullWidth());
    EXPECT_FALSE(prominent.icon().isNull());
    EXPECT_FALSE(prominent.autoDefault());

    KitButton trash(QStringLiteral("Trash"), QString(), ButtonStyle::bordered);
    EXPECT_FALSE(trash.tint().has_value());
    trash.setTint(Palette::red());
    EXPECT_EQ(trash.tint(), Palette::red());
    EXPECT_EQ(trash.property("kitButtonStyle").toString(), QStringLiteral("bordered"));
}

// A focused button of each style wears an accent ring and keeps its size.
TEST(KitButton, FocusShowsInTheAccentAtTheSameSize) {
    for (ButtonStyle style : {ButtonStyle::bordered, ButtonStyle::borderedProminent, ButtonStyle::plain}) {
        SCOPED_TRACE(buttonStyleName(style).toStdString());
        QWidget window;
        auto* button = new KitButton(QStringLiteral("Reveal"), QString(), style, &window);
        auto* other = new KitButton(QStringLiteral("Other"), QString(), style, &window);
        other->move(0, 60);
        window.resize(200, 120);
        window.show();
        window.activateWindow();
        other->setFocus();
        QApplication::processEvents();
        const QSize unfocusedSize = button->sizeHint();
        const QImage unfocused = button->grab().toImage();
        button->setFocus();
        QApplication::processEvents();
        ASSERT_TRUE(button->hasFocus());
        const QImage focused = button->grab().toImage();
        EXPECT_EQ(button->sizeHint(), unfocusedSize);
        EXPECT_NE(focused, unfocused);
        const QColor ring =
            style == ButtonStyle::borderedProminent ? Palette::accent().lighter(160) : Palette::accent();
        const QImage edge = focused.convertToFormat(QImage::Format_ARGB32);
        bool ringed = false;
        for (int x = 0; x < edge.width() && !ringed; ++x)
            ringed = edge.pixelColor(x, edge.height() / 2).rgb() == ring.rgb();
        EXPECT_TRUE(ringed);
    }
}

TEST(AppSection, TitlesOrderAndSymbols) {
    const std::vector<std::pair<QString, QString>> expected = {
        {"Inventory", "externaldrive"},
        {"Protected", "shield.checkered"},
        {"Quarantine", "exclamationmark.triangle"},
        {"Format Cleanup", "slider.horizontal.3"},
        {"Permanent Quarantine", "lock.fill"},
        {"Trash Recovery", "arrow.uturn.backward.circle"},
        {"History", "clock.arrow.circlepath"},
        {"Plugin Management", "person.badge.key"},
        {"Safety Guide", "checkmark.shield"},
        {"About", "info.circle"},
    };
    ASSERT_EQ(allAppSections().size(), expected.size());
    for (size_t index = 0; index < expected.size(); ++index) {
        const AppSection section = allAppSections()[index];
        EXPECT_EQ(rawValue(section), expected[index].first);
        EXPECT_EQ(appSectionIcon(section), expected[index].second);
        EXPECT_EQ(appSectionFromRawValue(expected[index].first), section);
    }
    EXPECT_EQ(allAppSections().front(), AppSection::inventory);
}

TEST(AppSection, ParsingIsExactAndWhole) {
    EXPECT_EQ(appSectionFromRawValue(QStringLiteral("Trash Recovery")), AppSection::trashRecovery);
    for (const char* text : {"inventory", "Trash", "Trash Recovery ", " About", "", "HISTORY"})
        EXPECT_FALSE(appSectionFromRawValue(QString::fromUtf8(text)).has_value()) << text;
}

} // namespace
} // namespace quorvane
