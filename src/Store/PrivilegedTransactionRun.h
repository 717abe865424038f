#pragma once

#include "Store/PluginInventoryStore.h"
#include "Store/PrivilegedRequestSender.h"

#include <QPointer>

#include <functional>
#include <optional>

namespace quorvane {

// The road of one privileged transaction, the same for a screen's file action, a cleanup run's
// chunk and a phase of the permanent-quarantine run: `begin` has the store write the pending
// journal and calls its argument once, with the request when the journal is on disk or with none
// when the store refused (and reported why); `send` carries the request to the helper and calls its
// argument once with the result; `complete` hands the result to the store with the request it
// answers, and tells its last argument whether the store committed.
template <class Request, class Result>
struct PrivilegedTransactionSteps {
    using Sent = std::function<void(const std::optional<Request>&)>;
    using Begin = std::function<void(Sent)>;
    using Send = std::function<void(const Request&, std::function<void(const Result&)>)>;
    using Complete = std::function<void(const Result&, const Request&, std::function<void(bool)>)>;

    Begin begin;
    Send send;
    Complete complete;
};

// Told once how a transaction ended: with no request when begin refused, else with the request that
// was sent and whether the store committed it.
template <class Request>
using PrivilegedTransactionEnded = std::function<void(const std::optional<Request>& sent, bool committed)>;

// Runs `steps` and tells `ended`. The steps' closures own what they need and guard what may go
// away meanwhile; nothing here is touched once the request is sent, so a result that arrives before
// `send` returns is handled like one that comes later.
template <class Request, class Result>
void runPrivilegedTransaction(PrivilegedTransactionSteps<Request, Result> steps,
                              PrivilegedTransactionEnded<Request> ended) {
    steps.begin([send = std::move(steps.send), complete = std::move(steps.complete),
                 ended = std::move(ended)](const std::optional<Request>& request) {
        if (!request) {
            if (ended)
                ended(std::nullopt, false);
            return;
        }
        send(*request, [complete, ended, sent = *request](const Result& result) {
            complete(result, sent, [ended, sent](bool committed) {
                if (ended)
                    ended(sent, committed);
            });
        });
    });
}

// The helper's step, through `sender`'s send for the request's kind; `sender` outlives the run.
template <class Request, class Result>
typename PrivilegedTransactionSteps<Request, Result>::Send sendThrough(PrivilegedRequestSender& sender) {
    return [&sender](const Request& request, std::function<void(const Result&)> answered) {
        sender.send(request, std::move(answered));
    };
}

// The store's step, through its completePrivileged for the result's kind. Nothing happens once the
// store has gone.
template <class Request, class Result>
typename PrivilegedTransactionSteps<Request, Result>::Complete completeThrough(PluginInventoryStore& store) {
    return [store = QPointer<PluginInventoryStore>(&store)](const Result& result, const Request& request,
                                                            std::function<void(bool)> then) {
        if (store)
            store->completePrivileged(result, request.transactionID, request.items, std::move(then));
    };
}

} // namespace quorvane
