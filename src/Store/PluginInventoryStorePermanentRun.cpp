#include "Store/PluginInventoryStore.h"

#include "Shared/QuorvaneHelperProtocol.h"
#include "Store/PrivilegedRequestSender.h"
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

template <class Result>
Result unreachableResult(const QString& transactionID) {
    Result result;
    result.transactionID = transactionID;
    result.succeeded = false;
    result.rollbackComplete = true;
    result.message = Texts::unreachable;
    return result;
}

std::pair<std::vector<PermanentQuarantineMatch>, std::vector<PermanentQuarantineMatch>>
nextChunk(const std::vector<PermanentQuarantineMatch>& matches) {
    const auto size = std::min<std::size_t>(matches.size(), std::size_t(maximumTransactionItemCount));
    return {{matches.begin(), matches.begin() + qsizetype(size)},
            {matches.begin() + qsizetype(size), matches.end()}};
}

} // namespace

void PluginInventoryStore::applyPermanentQuarantineAfterScan(
    const std::vector<PermanentQuarantineMatch>& matches, PrivilegedRequestReadiness* service) {
    if (service != nullptr && service->isReadyForPrivilegedRequests()) {
        const auto [chunk, remaining] = nextChunk(matches);
        startPermanentQuarantineRun(chunk, remaining, service);
        return;
    }
    setLastScanNotice(
        StoreTexts::ScanNotice::permanentQuarantineUnavailable(static_cast<qsizetype>(matches.size())));
    saveStateReportingFailure();
}

void PluginInventoryStore::setScanNoticeAndSave(const QString& text) {
    setLastScanNotice(text);
    saveStateReportingFailure();
}

void PluginInventoryStore::startPermanentQuarantineRun(const std::vector<PermanentQuarantineMatch>& chunk,
                                                       const std::vector<PermanentQuarantineMatch>& remaining,
                                                       PrivilegedRequestReadiness* service) {
    if (chunk.empty())
        return;
    std::vector<PluginBundleSelection> retired;
    for (const PermanentQuarantineMatch& match : chunk)
        retired.push_back(match.retired);
    const auto request = beginPrivilegedTrash(retired, m_inventoryRevision);
    if (!request) {
        setScanNoticeAndSave(Texts::notBegun);
        return;
    }
    PermanentRunContext context{chunk, remaining, dynamic_cast<PrivilegedRequestSender*>(service)};
    const QPointer<PluginInventoryStore> self(this);
    const auto continueRun = [self, context, request = *request](const PrivilegedTrashResult& result) {
        if (self)
            self->continuePermanentQuarantineRun(result, request, context);
    };
    if (!context.sender)
        continueRun(unreachableResult<PrivilegedTrashResult>(request->transactionID));
    else
        context.sender->sendTrashRequest(*request, continueRun);
}

void PluginInventoryStore::continuePermanentQuarantineRun(const PrivilegedTrashResult& result,
                                                          const PrivilegedTrashRequest& request,
                                                          const PermanentRunContext& context) {
    if (!completePrivilegedTrash(result, request.transactionID, request.items)) {
        setScanNoticeAndSave(Texts::trashNotCommitted);
        return;
    }
    std::vector<PluginBundleSelection> active;
    for (const PermanentQuarantineMatch& match : context.chunk) {
        if (const auto selection = resolvePermanentQuarantineSelections(match.active.bundleID))
            active.push_back(*selection);
    }
    std::optional<PrivilegedQuarantineRequest> quarantine;
    if (active.size() == context.chunk.size())
        quarantine = beginPrivilegedQuarantine(active, m_inventoryRevision, std::nullopt);
    if (!quarantine) {
        setScanNoticeAndSave(Texts::quarantineNotBegun);
        return;
    }
    const QPointer<PluginInventoryStore> self(this);
    const auto finishChunk = [self, context,
                              request = *quarantine](const PrivilegedQuarantineResult& outcome) {
        if (self)
            self->finishPermanentQuarantineChunk(outcome, request, context);
    };
    if (!context.sender)
        finishChunk(unreachableResult<PrivilegedQuarantineResult>(quarantine->transactionID));
    else
        context.sender->sendQuarantineRequest(*quarantine, finishChunk);
}

void PluginInventoryStore::finishPermanentQuarantineChunk(const PrivilegedQuarantineResult& result,
                                                          const PrivilegedQuarantineRequest& request,
                                                          const PermanentRunContext& context) {
    if (!completePrivilegedQuarantine(result, request.transactionID, request.items)) {
        setScanNoticeAndSave(Texts::quarantineNotCommitted);
        return;
    }
    setScanNoticeAndSave(Texts::replaced(qsizetype(context.chunk.size())));
    if (context.remaining.empty())
        return;
    const auto [chunk, remaining] = nextChunk(context.remaining);
    startPermanentQuarantineRun(chunk, remaining, context.sender);
}

std::optional<PluginBundleSelection>
PluginInventoryStore::resolvePermanentQuarantineSelections(const QString& bundleID) const {
    for (const Plugin& plugin : m_plugins) {
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
