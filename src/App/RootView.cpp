#include "App/RootView.h"

#include "App/ClosedTransaction.h"
#include "App/NoticePresenter.h"
#include "App/Sidebar.h"
#include "App/StoreShellSource.h"
#include "Views/Kit/FlatSplitter.h"
#include "Views/Kit/Palette.h"
#include "Views/Kit/ReadingOrder.h"
#include "Views/Kit/RevealInFinder.h"
#include "Views/Screens/About/AboutView.h"
#include "Views/Screens/FormatCleanup/FormatCleanupRunController.h"
#include "Views/Screens/FormatCleanup/FormatCleanupView.h"
#include "Views/Screens/History/HistoryView.h"
#include "Views/Screens/Inventory/InventoryView.h"
#include "Views/Screens/PermanentQuarantine/PermanentQuarantineView.h"
#include "Views/Screens/PluginManagement/PluginManagementView.h"
#include "Views/Screens/Protected/ProtectedView.h"
#include "Views/Screens/Quarantine/QuarantineView.h"
#include "Views/Screens/SafetyGuide/SafetyGuideView.h"
#include "Views/Screens/TrashRecovery/TrashRecoveryView.h"

#include <QHBoxLayout>
#include <QPointer>
#include <QSplitter>
#include <QVBoxLayout>

#include <algorithm>

namespace quorvane {

namespace {

constexpr int sidebarMinimumWidth = 235;
constexpr int sidebarIdealWidth = 255;
constexpr int sidebarMaximumWidth = 285;

} // namespace

RootView::RootView(QWidget* parent) : RootView(RootViewObjects::production(), bundleImageLoader(), parent) {}

RootView::RootView(const RootViewObjects& objects, const ImageLoader& images, QWidget* parent)
    : QWidget(parent), m_inventoryStore(objects.makeInventoryStore()),
      m_folderAccess(objects.makeFolderAccess()), m_managementService(objects.makeManagementService()),
      m_source(std::make_unique<StoreShellSource>(*m_inventoryStore)),
      m_screenServices(objects.screenServices),
      m_cleanupRun(std::make_unique<FormatCleanupRunController>(*m_inventoryStore, *m_managementService)),
      m_navigation(new NavigationState(this)) {
    setObjectName(QStringLiteral("rootView"));
    setWindowTitle(QStringLiteral("Quorvane"));
    setMinimumSize(1180, 720);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    m_splitter = new FlatSplitter(Qt::Horizontal, Palette::hairline(), this);
    m_splitter->setObjectName(QStringLiteral("splitView"));
    m_splitter->setChildrenCollapsible(false);
    m_splitter->setHandleWidth(1);
    layout->addWidget(m_splitter);

    m_sidebar = new Sidebar(m_navigation->sectionBinding(), images, m_splitter);
    m_sidebar->setMinimumWidth(sidebarMinimumWidth);
    m_sidebar->setMaximumWidth(sidebarMaximumWidth);
    m_splitter->addWidget(m_sidebar);

    m_detail = new QWidget(m_splitter);
    m_detail->setObjectName(QStringLiteral("detailColumn"));
    m_detail->setAutoFillBackground(true);
    QPalette colours = m_detail->palette();
    colours.setColor(QPalette::Window, Palette::background());
    m_detail->setPalette(colours);
    auto* detailLayout = new QVBoxLayout(m_detail);
    detailLayout->setContentsMargins(0, 0, 0, 0);
    m_splitter->addWidget(m_detail);
    m_splitter->setStretchFactor(0, 0);
    m_splitter->setStretchFactor(1, 1);
    m_splitter->setSizes({sidebarIdealWidth, 1440 - sidebarIdealWidth});

    connect(m_navigation, &NavigationState::sectionChanged, this, [this] {
        m_sidebar->refreshSelection();
        showSelectedSection();
    });
    connect(m_source.get(), &ShellSource::sidebarCountsChanged, this, &RootView::refreshCounts);
    refreshCounts();
    showSelectedSection();
    m_notices = new NoticePresenter(*m_source, this);
    ClosedTransaction::reportNoted(*m_inventoryStore, this);
    // A folder the desktop could not show would otherwise leave the click without any answer.
    setFolderNotOpenedHandler(
        [store = QPointer<PluginInventoryStore>(m_inventoryStore.get())](const QString& folder) {
            if (store)
                store->presentNotice(folderNotOpenedNotice(folder));
        });
}

void RootView::closeEvent(QCloseEvent* event) {
    // Closing ends the program at once, whatever the helper is doing.
    ClosedTransaction::noteIfInFlight(*m_inventoryStore);
    QWidget::closeEvent(event);
}

RootView::~RootView() {
    setFolderNotOpenedHandler(nullptr);
    // The presenter and the screens use the owned objects, which go before the child widgets do.
    delete m_notices;
    qDeleteAll(m_detail->findChildren<QWidget*>(Qt::FindDirectChildrenOnly));
}

void RootView::refreshCounts() {
    m_sidebar->setCounts(m_source->sidebarCounts());
}

void RootView::showSelectedSection() {
    const AppSection section = m_navigation->section().value_or(AppSection::inventory);
    if (m_screen && m_screenSection == section)
        return;
    // A control that opened another section (a "Back to Inventory") goes with its screen: the
    // focus follows into the new screen instead of falling to the sidebar.
    const bool focusInScreen = m_screen && m_screen->isAncestorOf(focusWidget());
    if (m_screen) {
        m_detail->layout()->removeWidget(m_screen);
        m_screen->hide();
        m_screen->deleteLater();
    }
    m_screen = makeScreen(section);
    m_screenSection = section;
    m_detail->layout()->addWidget(m_screen);
    if (focusInScreen) {
        // Once the new screen shows, as the layout shows what is added to it.
        QMetaObject::invokeMethod(
            m_screen,
            [screen = QPointer<QWidget>(m_screen)] {
                const QList<QWidget*> order = widgetsInReadingOrder(screen);
                const auto first = std::ranges::find_if(order, isTabStop);
                if (first != order.end())
                    giveFocus(*first, Qt::OtherFocusReason);
            },
            Qt::QueuedConnection);
    }
}

QWidget* RootView::makeScreen(AppSection section) {
    // Each section's screen takes its objects and bindings here.
    switch (section) {
    case AppSection::inventory:
        return new InventoryView(*m_folderAccess, *m_managementService, *m_inventoryStore,
                                 m_navigation->selectedPluginBinding(), m_navigation->queryBinding(),
                                 m_screenServices, m_detail);
    case AppSection::formatCleanup:
        return new FormatCleanupView(*m_managementService, *m_inventoryStore, *m_cleanupRun, m_screenServices,
                                     m_detail);
    case AppSection::history:
        return new HistoryView(*m_inventoryStore, m_screenServices, m_detail);
    case AppSection::safetyGuide:
        return new SafetyGuideView(m_detail);
    case AppSection::pluginManagement:
        return new PluginManagementView(*m_managementService, m_screenServices, m_detail);
    case AppSection::about:
        return new AboutView(*m_inventoryStore, *m_managementService, m_screenServices, m_detail);
    case AppSection::protected_:
        return new ProtectedView(*m_inventoryStore, m_navigation->selectedPluginBinding(), m_detail);
    case AppSection::quarantine:
        return new QuarantineView(*m_managementService, *m_inventoryStore,
                                  m_navigation->selectedPluginBinding(), m_detail);
    case AppSection::permanentQuarantine:
        return new PermanentQuarantineView(*m_inventoryStore, m_navigation->sectionBinding(), m_detail);
    case AppSection::trashRecovery:
        return new TrashRecoveryView(*m_managementService, *m_inventoryStore, m_screenServices, m_detail);
    }
    return nullptr;
}

bool RootView::focusNextPrevChild(bool next) {
    return focusInReadingOrder(this, next) || QWidget::focusNextPrevChild(next);
}

} // namespace quorvane
