#pragma once

#include "Views/Kit/KitButton.h"

namespace quorvane {

class PluginInventoryStore;
class PluginManagementService;

// "Settle From Disk", under a screen's message bars: shown while a transaction the launch could not
// resolve blocks file actions and the store can settle it. It follows the store and the helper
// service itself, so every screen that shows the blocked bar offers the same way out.
class SettleJournalButton : public KitButton {
    Q_OBJECT
public:
    SettleJournalButton(PluginInventoryStore& store, const PluginManagementService& service, QWidget* parent);

private:
    void refresh();

    PluginInventoryStore& m_store;
};

} // namespace quorvane
