#pragma once

#include "Helper/TrashLedger.h"
#include "Platform/ConsoleUser.h"
#include "Shared/PathPolicy.h"
#include "Shared/PrivilegedRequests.h"
#include "Shared/ValidatedPrivilegedItems.h"

#include <QString>
#include <QStringList>

#include <expected>
#include <optional>
#include <utility>
#include <vector>

namespace quorvane {

// Why the helper refuses a request before anything moves. The sentence travels back as the result's
// message.
enum class HelperRequestPolicyError {
    invalidTransactionIdentifier,
    invalidItemCount,
    invalidSource,
    invalidDestination,
    duplicateOrConflictingPath,
    invalidRestoreTransactionIdentifier,
    invalidRestoreItemCount,
    invalidRestoreSource,
    invalidRestoreDestination,
    duplicateOrConflictingRestorePath,
    invalidTrashTransactionIdentifier,
    invalidTrashItemCount,
    invalidTrashSource,
    invalidTrashDestination,
    duplicateOrConflictingTrashPath,
    invalidTrashRestoreTransactionIdentifier,
    invalidTrashRestoreItemCount,
    invalidOrDuplicateRecoveryRecord,
    invalidTrashRestoreFormat,
    trashRestoreFilenameMismatch,
    invalidTrashRestoreSource,
    invalidTrashRestoreDestination,
    duplicateOrConflictingTrashRestorePath,
    consoleUserTrashUnavailable,
};

QString description(HelperRequestPolicyError error);
// Every case with its sentence, in declaration order.
const std::vector<std::pair<HelperRequestPolicyError, QString>>& helperRequestPolicyErrorTexts();

// The Trash of the user at the console. Their home is often reached through a link (/home itself
// may be one); it is resolved once, and below it no link is taken.
struct ConsoleUserTrash {
    // The home as the password database names it, standardised, and its real path.
    QString home;
    QString realHome;
    // <real home>/.local/share/Trash/files
    QString folder;

    // `path` with the home as named replaced by its real path; a path elsewhere is left as it is.
    QString onRealHome(const QString& path) const;
};

template <class T>
using PolicyResult = std::expected<std::vector<T>, HelperRequestPolicyError>;

// Checks each decoded request against the path policy and turns its items into validated items, in
// request order, or gives the first refusal met. Nothing on disk changes. The two Trash kinds use
// the Trash of the user at the console, looked up afresh for each request; a Trash recovery takes
// only bundles the helper's ledger says it put there, still the same object with the same owner.
class HelperRequestPolicy {
public:
    HelperRequestPolicy(PathPolicy pathPolicy, const ConsoleUserProvider& consoleUsers);

    const PathPolicy& pathPolicy() const { return m_pathPolicy; }
    // The record of what the helper moved into a Trash, beside the quarantine.
    const TrashLedger& ledger() const { return m_ledger; }

    // With `lookups`, what the disk showed is kept for the rest of the request's handling.
    [[nodiscard]] PolicyResult<ValidatedPrivilegedQuarantineItem>
    validateQuarantineRequest(const PrivilegedQuarantineRequest& request,
                              PathLookups* lookups = nullptr) const;
    [[nodiscard]] PolicyResult<ValidatedPrivilegedRestoreItem>
    validateRestoreRequest(const PrivilegedRestoreRequest& request, PathLookups* lookups = nullptr) const;
    [[nodiscard]] PolicyResult<ValidatedPrivilegedTrashItem>
    validateTrashRequest(const PrivilegedTrashRequest& request, PathLookups* lookups = nullptr) const;
    [[nodiscard]] PolicyResult<ValidatedPrivilegedTrashItem>
    validateTrashItems(const PrivilegedTrashRequest& request, const QString& trashFolder,
                       PathLookups* lookups = nullptr) const;
    [[nodiscard]] PolicyResult<ValidatedPrivilegedTrashRestoreItem>
    validateTrashRestoreRequest(const PrivilegedTrashRestoreRequest& request,
                                PathLookups* lookups = nullptr) const;
    [[nodiscard]] PolicyResult<ValidatedPrivilegedTrashRestoreItem>
    validateTrashRestoreItems(const PrivilegedTrashRestoreRequest& request, const QString& trashFolder,
                              const QStringList& approvedRoots, PathLookups* lookups = nullptr) const;

    // The console user's Trash: nothing when nobody or root is at the console, when the home cannot
    // be resolved, or when the Trash folder is missing, not a folder, not the user's own, or reached
    // through a link below the home.
    std::optional<ConsoleUserTrash> consoleUserTrash() const;
    // Its folder, below the home's real path.
    std::optional<QString> consoleUserTrashURL() const;

    // Every folder from the destination's parent up to and including its approved root exists as a
    // real directory, with no link in the chain.
    static bool verifiedOriginalLocationURL(const QString& destination, const QStringList& approvedRoots,
                                            PathLookups* lookups = nullptr);

private:
    PathPolicy m_pathPolicy;
    const ConsoleUserProvider& m_consoleUsers;
    TrashLedger m_ledger;
};

} // namespace quorvane
