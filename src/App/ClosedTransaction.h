#pragma once

#include <QString>

class QObject;

namespace quorvane {

class PluginInventoryStore;

// A window closed while a privileged transaction is on its way to the helper ends the program at
// once: the helper may or may not have carried it out, and the next start settles its journal
// without a word. A small note beside the state file remembers the transaction, so that the next
// start can say what became of it.
namespace ClosedTransaction {

// <Application Support>/Quorvane/closed-transaction; empty without a folder.
QString notePath(const QString& applicationSupport);

// Called as the window closes: notes the transaction in flight, if any.
void noteIfInFlight(const PluginInventoryStore& store);

// Called once the store is open: once the noted transaction is settled, tells whether it happened
// and forgets the note. `context` bounds how long it waits for a journal still being settled.
void reportNoted(PluginInventoryStore& store, QObject* context);

} // namespace ClosedTransaction

} // namespace quorvane
