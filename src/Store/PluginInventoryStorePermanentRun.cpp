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

// What a phase's begin hands its request to once the journal is on disk: the request goes to
// `send` (an unreachable helper when there is no sender) and its result to `next`; `refused` runs
// when begin refused. Nothing happens once the store is gone.
template <class Request, class Result, class Next, class Refused>
auto sendPhase(QPointer<PluginInventoryStore> self, PrivilegedRequestSender* sender,
               void (PrivilegedRequestSender::*send)(const Request&,
                                                     PrivilegedRequestSender::Completion<Result>),
               Next next, Refused refused) {
    return [self, sender, send, next, refused](const std::optional<Request>& request) {
        if (!self)
            return;
        if (!request) {
            refused();
            return;
        }
        const auto answered = [self, next, sent = *request](const Result& result) {
            if (self)
                next(result, sent);
        };
        if (!sender)
            answered(unreachableResult<Result>(request->transactionID));
        else
            (sender->*send)(*request, answered);
    };
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
    PermanentRunContext context{chunk, remaining, dynamic_cast<PrivilegedRequestSender*>(service)};
    const QPointer<PluginInventoryStore> self(this);
    beginPrivilegedTrash(
        retired, m_inventoryRevision,
        sendPhase<PrivilegedTrashRequest, PrivilegedTrashResult>(
            self, context.sender, &PrivilegedRequestSender::sendTrashRequest,
            [self, context](const PrivilegedTrashResult& result, const PrivilegedTrashRequest& request) {
                self->continuePermanentQuarantineRun(result, request, context);
            },
            [self] { self->setScanNoticeAndSave(Texts::notBegun); }));
}

void PluginInventoryStore::continuePermanentQuarantineRun(const PrivilegedTrashResult& result,
                                                          const PrivilegedTrashRequest& request,
                                                          const PermanentRunContext& context) {
    const QPointer<PluginInventoryStore> self(this);
    completePrivilegedTrash(result, request.transactionID, request.items, [self, context](bool committed) {
        if (!self)
            return;
        if (!committed) {
            self->setScanNoticeAndSave(Texts::trashNotCommitted);
            return;
        }
        self->beginPermanentQuarantinePhase(context);
    });
}

void PluginInventoryStore::beginPermanentQuarantinePhase(const PermanentRunContext& context) {
    std::vector<PluginBundleSelection> active;
    for (const PermanentQuarantineMatch& match : context.chunk) {
        if (const auto selection = resolvePermanentQuarantineSelections(match.active.bundleID))
            active.push_back(*selection);
    }
    if (active.size() != context.chunk.size()) {
        setScanNoticeAndSave(Texts::quarantineNotBegun);
        return;
    }
    const QPointer<PluginInventoryStore> self(this);
    beginPrivilegedQuarantine(active, m_inventoryRevision, std::nullopt,
                              sendPhase<PrivilegedQuarantineRequest, PrivilegedQuarantineResult>(
                                  self, context.sender, &PrivilegedRequestSender::sendQuarantineRequest,
                                  [self, context](const PrivilegedQuarantineResult& result,
                                                  const PrivilegedQuarantineRequest& request) {
                                      self->finishPermanentQuarantineChunk(result, request, context);
                                  },
                                  [self] { self->setScanNoticeAndSave(Texts::quarantineNotBegun); }));
}

void PluginInventoryStore::finishPermanentQuarantineChunk(const PrivilegedQuarantineResult& result,
                                                          const PrivilegedQuarantineRequest& request,
                                                          const PermanentRunContext& context) {
    const QPointer<PluginInventoryStore> self(this);
    completePrivilegedQuarantine(
        result, request.transactionID, request.items, [self, context](bool committed) {
            if (!self)
                return;
            if (!committed) {
                self->setScanNoticeAndSave(Texts::quarantineNotCommitted);
                return;
            }
            self->setScanNoticeAndSave(Texts::replaced(qsizetype(context.chunk.size())));
            if (context.remaining.empty())
                return;
            const auto [chunk, remaining] = nextChunk(context.remaining);
            self->startPermanentQuarantineRun(chunk, remaining, context.sender);
        });
}

std::optional<PluginBundleSelection>
PluginInventoryStore::resolvePermanentQuarantineSelections(const QString& bundleID) const {
    for (const Plugin& plugin : plugins()) {
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
