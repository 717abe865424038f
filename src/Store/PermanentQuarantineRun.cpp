#include "Store/CleanupRuns.h"

#include "Store/PluginInventoryStore.h"

#include "Shared/QuorvaneHelperProtocol.h"
#include "Store/PrivilegedRequestSender.h"
#include "Store/PrivilegedTransactionRun.h"
#include "Store/PrivilegedTransactionTexts.h"
#include "Store/StoreTexts.h"

#include <QPointer>

// The permanent-quarantine replacement run: per chunk of at most 256 exact replacements, first the
// retired quarantined copies go to the Finder Trash as one transaction, and only when that has been
// committed do the reinstalled copies go into quarantine as a second. The next chunk starts from the
// completion of the one before; the first phase that does not commit ends the run.

namespace quorvane {

namespace Texts = PrivilegedTransactionTexts::PermanentRun;

namespace {

std::pair<std::vector<PermanentQuarantineMatch>, std::vector<PermanentQuarantineMatch>>
nextChunk(const std::vector<PermanentQuarantineMatch>& matches) {
    const auto size = std::min<std::size_t>(matches.size(), std::size_t(maximumTransactionItemCount));
    return {{matches.begin(), matches.begin() + qsizetype(size)},
            {matches.begin() + qsizetype(size), matches.end()}};
}

// The helper's step of a phase: `sender`'s send, or an unreachable helper's answer when there is no
// sender.
template <class Request, class Result>
typename PrivilegedTransactionSteps<Request, Result>::Send
sendOrAnswerUnreachable(PrivilegedRequestSender* sender) {
    return [sender](const Request& request, std::function<void(const Result&)> answered) {
        if (!sender)
            answered(failureWithNothingMoved<Result>(request.transactionID, Texts::unreachable));
        else
            sender->send(request, std::move(answered));
    };
}

// Runs one phase: a transaction of `kind` over `selections` at the store's current revision, sent
// through `sender`; `ended` learns, while the store lives, whether it began and was committed.
template <PrivilegedKind kind>
void runPhase(PluginInventoryStore& store, std::vector<PluginBundleSelection> selections,
              PrivilegedRequestSender* sender, std::function<void(bool begun, bool committed)> ended) {
    using Request = PrivilegedRequest<kind>;
    using Result = PrivilegedResult<kind>;
    runPrivilegedTransaction<Request, Result>(
        {[&store, selections = std::move(selections)](auto sent) {
             store.beginPrivileged<kind>(selections, store.inventoryRevision(), std::move(sent));
         },
         sendOrAnswerUnreachable<Request, Result>(sender), completeThrough<Request, Result>(store)},
        [guard = QPointer<PluginInventoryStore>(&store),
         ended = std::move(ended)](const std::optional<Request>& sent, bool committed) {
            if (guard)
                ended(sent.has_value(), committed);
        });
}

} // namespace

void CleanupRuns::applyPermanentQuarantineAfterScan(const std::vector<PermanentQuarantineMatch>& matches,
                                                    PrivilegedRequestReadiness* service) {
    if (service != nullptr && service->isReadyForPrivilegedRequests()) {
        const auto [chunk, remaining] = nextChunk(matches);
        m_store.startPermanentQuarantineRun(chunk, remaining, service);
        return;
    }
    m_store.setLastScanNotice(
        StoreTexts::ScanNotice::permanentQuarantineUnavailable(static_cast<qsizetype>(matches.size())));
    m_store.saveStateReportingFailure();
}

void CleanupRuns::setScanNoticeAndSave(const QString& text) {
    m_store.setLastScanNotice(text);
    m_store.saveStateReportingFailure();
}

void CleanupRuns::runPermanentQuarantineChunk(const std::vector<PermanentQuarantineMatch>& chunk,
                                              const std::vector<PermanentQuarantineMatch>& remaining,
                                              PrivilegedRequestReadiness* service) {
    if (chunk.empty())
        return;
    std::vector<PluginBundleSelection> retired;
    for (const PermanentQuarantineMatch& match : chunk)
        retired.push_back(match.retired);
    PermanentRunContext context{chunk, remaining, dynamic_cast<PrivilegedRequestSender*>(service)};
    runPhase<PrivilegedKind::trash>(m_store, std::move(retired), context.sender,
                                    [this, context](bool begun, bool committed) {
                                        if (!begun)
                                            setScanNoticeAndSave(Texts::notBegun);
                                        else if (!committed)
                                            setScanNoticeAndSave(Texts::trashNotCommitted);
                                        else
                                            beginPermanentQuarantinePhase(context);
                                    });
}

void CleanupRuns::beginPermanentQuarantinePhase(const PermanentRunContext& context) {
    std::vector<PluginBundleSelection> active;
    for (const PermanentQuarantineMatch& match : context.chunk) {
        if (const auto selection = resolvePermanentQuarantineSelections(match.active.bundleID))
            active.push_back(*selection);
    }
    if (active.size() != context.chunk.size()) {
        setScanNoticeAndSave(Texts::quarantineNotBegun);
        return;
    }
    runPhase<PrivilegedKind::quarantine>(m_store, std::move(active), context.sender,
                                         [this, context](bool begun, bool committed) {
                                             finishPermanentQuarantineChunk(begun, committed, context);
                                         });
}

void CleanupRuns::finishPermanentQuarantineChunk(bool begun, bool committed,
                                                 const PermanentRunContext& context) {
    if (!begun) {
        setScanNoticeAndSave(Texts::quarantineNotBegun);
        return;
    }
    if (!committed) {
        setScanNoticeAndSave(Texts::quarantineNotCommitted);
        return;
    }
    setScanNoticeAndSave(Texts::replaced(qsizetype(context.chunk.size())));
    if (context.remaining.empty())
        return;
    const auto [chunk, remaining] = nextChunk(context.remaining);
    m_store.startPermanentQuarantineRun(chunk, remaining, context.sender);
}

std::optional<PluginBundleSelection>
CleanupRuns::resolvePermanentQuarantineSelections(const QString& bundleID) const {
    for (const Plugin& plugin : m_store.plugins()) {
        if (plugin.isMandatoryShell())
            continue;
        for (const PluginBundleRecord& record : plugin.bundleRecords()) {
            if (record.isActive() && plainEqual(record.id(), bundleID))
                return PluginBundleSelection{plugin.id, record.id()};
        }
    }
    return std::nullopt;
}

} // namespace quorvane
