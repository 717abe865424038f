#include "Views/Kit/SymbolIcons.h"

#include <QGuiApplication>
#include <QHash>
#include <QPainter>
#include <QPixmapCache>

// Resources of a static library have to be registered by hand.
static void registerKitResources() {
    Q_INIT_RESOURCE(KitResources);
}

namespace quorvane {

namespace {

const QString themeFolder = QStringLiteral(":/icons/quorvane/scalable/");

void ensureResources() {
    static const bool registered = [] {
        registerKitResources();
        return true;
    }();
    (void)registered;
}

} // namespace

const std::vector<std::pair<QString, QString>>& symbolIconTable() {
    static const std::vector<std::pair<QString, QString>> table{
        {QStringLiteral("externaldrive"), QStringLiteral("drive-harddisk")},
        {QStringLiteral("externaldrive.badge.minus"), QStringLiteral("drive-harddisk-remove")},
        {QStringLiteral("shield.checkered"), QStringLiteral("security-high")},
        {QStringLiteral("shield.slash"), QStringLiteral("security-low")},
        {QStringLiteral("checkmark.shield"), QStringLiteral("security-medium")},
        {QStringLiteral("checkmark.shield.fill"), QStringLiteral("security-medium")},
        {QStringLiteral("bolt.shield"), QStringLiteral("security-update")},
        {QStringLiteral("lock.shield"), QStringLiteral("channel-secure")},
        {QStringLiteral("lock.shield.fill"), QStringLiteral("channel-secure")},
        {QStringLiteral("lock.trianglebadge.exclamationmark"), QStringLiteral("channel-insecure")},
        {QStringLiteral("lock.fill"), QStringLiteral("changes-prevent")},
        {QStringLiteral("exclamationmark.triangle"), QStringLiteral("dialog-warning")},
        {QStringLiteral("exclamationmark.triangle.fill"), QStringLiteral("dialog-warning")},
        {QStringLiteral("exclamationmark.circle"), QStringLiteral("dialog-error")},
        {QStringLiteral("exclamationmark.circle.fill"), QStringLiteral("dialog-error")},
        {QStringLiteral("info.circle"), QStringLiteral("dialog-information")},
        {QStringLiteral("info.circle.fill"), QStringLiteral("dialog-information")},
        {QStringLiteral("questionmark.diamond.fill"), QStringLiteral("dialog-question")},
        {QStringLiteral("person.badge.key"), QStringLiteral("dialog-password")},
        {QStringLiteral("person.badge.key.fill"), QStringLiteral("dialog-password")},
        {QStringLiteral("slider.horizontal.3"), QStringLiteral("preferences-system")},
        {QStringLiteral("gear"), QStringLiteral("emblem-system")},
        {QStringLiteral("arrow.uturn.backward.circle"), QStringLiteral("document-revert")},
        {QStringLiteral("arrow.uturn.backward.square"), QStringLiteral("document-revert-box")},
        {QStringLiteral("shippingbox.and.arrow.backward"), QStringLiteral("package-revert")},
        {QStringLiteral("arrow.uturn.backward"), QStringLiteral("edit-undo")},
        {QStringLiteral("clock.arrow.circlepath"), QStringLiteral("document-open-recent")},
        {QStringLiteral("checkmark"), QStringLiteral("object-select")},
        {QStringLiteral("chevron.down"), QStringLiteral("pan-down")},
        {QStringLiteral("doc.on.doc"), QStringLiteral("edit-copy")},
        {QStringLiteral("cpu"), QStringLiteral("computer-chip")},
        {QStringLiteral("checkmark.circle"), QStringLiteral("emblem-ok")},
        {QStringLiteral("checkmark.seal"), QStringLiteral("emblem-certified")},
        {QStringLiteral("checkmark.circle.fill"), QStringLiteral("emblem-default")},
        {QStringLiteral("puzzlepiece.extension"), QStringLiteral("application-x-addon")},
        {QStringLiteral("folder"), QStringLiteral("folder")},
        {QStringLiteral("folder.badge.plus"), QStringLiteral("folder-new")},
        {QStringLiteral("shippingbox"), QStringLiteral("package-x-generic")},
        {QStringLiteral("trash"), QStringLiteral("user-trash")},
        {QStringLiteral("trash.slash"), QStringLiteral("action-unavailable")},
        {QStringLiteral("arrow.clockwise"), QStringLiteral("view-refresh")},
        {QStringLiteral("arrow.triangle.2.circlepath"), QStringLiteral("emblem-synchronizing")},
        {QStringLiteral("arrow.left.arrow.right.circle"), QStringLiteral("network-transmit-receive")},
        {QStringLiteral("xmark"), QStringLiteral("window-close")},
        {QStringLiteral("xmark.circle"), QStringLiteral("process-stop")},
        {QStringLiteral("square.and.arrow.up"), QStringLiteral("document-send")},
        {QStringLiteral("magnifyingglass"), QStringLiteral("system-search")},
        {QStringLiteral("eye"), QStringLiteral("view-reveal")},
        {QStringLiteral("arrow.left"), QStringLiteral("go-previous")},
        {QStringLiteral("wrench.and.screwdriver"), QStringLiteral("applications-engineering")},
        {QStringLiteral("minus.circle"), QStringLiteral("list-remove")},
        {QStringLiteral("checklist"), QStringLiteral("view-list")},
        {QStringLiteral("waveform.path.ecg"), QStringLiteral("audio-x-generic")},
        {QStringLiteral("building.2"), QStringLiteral("network-workgroup")},
        {QStringLiteral("app.badge"), QStringLiteral("application-x-executable")},
    };
    return table;
}

QString freedesktopIconName(QStringView symbol) {
    for (const auto& [name, iconName] : symbolIconTable()) {
        if (name == symbol)
            return iconName;
    }
    return {};
}

QPixmap symbolPixmap(QStringView symbol, const QColor& color, int pixelSize) {
    ensureResources();
    const qreal ratio = qApp ? qApp->devicePixelRatio() : 1.0;
    const int devicePixels = qRound(pixelSize * ratio);
    // Screens rebuild their panes often and each pane paints a few symbols again; reading and
    // drawing the vector file each time would cost more than the rest of the pane.
    const QString key =
        QStringLiteral("quorvane.symbol/%1/%2/%3/%4")
            .arg(symbol, color.name(QColor::HexArgb), QString::number(devicePixels), QString::number(ratio));
    if (QPixmap cached; QPixmapCache::find(key, &cached))
        return cached;
    QPixmap result(devicePixels, devicePixels);
    result.fill(Qt::transparent);
    result.setDevicePixelRatio(ratio);
    const QString iconName = freedesktopIconName(symbol);
    if (iconName.isEmpty())
        return result;
    const QPixmap shape =
        QIcon(themeFolder + iconName + QStringLiteral(".svg")).pixmap(devicePixels, devicePixels);
    if (shape.isNull())
        return result;
    QImage image = shape.toImage().convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
    painter.fillRect(image.rect(), color);
    painter.end();
    result = QPixmap::fromImage(image);
    result.setDevicePixelRatio(ratio);
    QPixmapCache::insert(key, result);
    return result;
}

QIcon symbolIcon(QStringView symbol, const QColor& color, int pixelSize) {
    return QIcon(symbolPixmap(symbol, color, pixelSize));
}

} // namespace quorvane
