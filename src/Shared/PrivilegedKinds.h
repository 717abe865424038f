#pragma once

namespace quorvane {

// The four kinds of privileged transaction, described once for both programs: the documents each
// carries and the names it has on the wire. Every layer that serves the kinds takes them from here.
enum class PrivilegedKind {
    quarantine,
    restore,
    trash,
    trashRecovery,
};

// Defined in PrivilegedRequests.h and PrivilegedResults.h; the aliases are the names the code uses.
struct PrivilegedQuarantineItem;
struct PrivilegedRestoreItem;
struct PrivilegedTrashItem;
struct PrivilegedTrashRestoreItem;
template <PrivilegedKind kind>
struct PrivilegedRequest;
template <PrivilegedKind kind>
struct PrivilegedResult;
using PrivilegedQuarantineRequest = PrivilegedRequest<PrivilegedKind::quarantine>;
using PrivilegedRestoreRequest = PrivilegedRequest<PrivilegedKind::restore>;
using PrivilegedTrashRequest = PrivilegedRequest<PrivilegedKind::trash>;
using PrivilegedTrashRestoreRequest = PrivilegedRequest<PrivilegedKind::trashRecovery>;

// What every kind's description holds besides its names.
template <PrivilegedKind kindValue, class ItemType>
struct PrivilegedKindDocuments {
    using Item = ItemType;
    using Request = PrivilegedRequest<kindValue>;
    using Result = PrivilegedResult<kindValue>;
    static constexpr PrivilegedKind kind = kindValue;
};

// `method` is the call's method in the frame envelope; `pathsKey` names the result's destination
// paths in its JSON.
template <PrivilegedKind kind>
struct PrivilegedKindDescription;

template <>
struct PrivilegedKindDescription<PrivilegedKind::quarantine>
    : PrivilegedKindDocuments<PrivilegedKind::quarantine, PrivilegedQuarantineItem> {
    static constexpr const char* method = "quarantine";
    static constexpr const char* pathsKey = "movedDestinationPaths";
};

template <>
struct PrivilegedKindDescription<PrivilegedKind::restore>
    : PrivilegedKindDocuments<PrivilegedKind::restore, PrivilegedRestoreItem> {
    static constexpr const char* method = "restore";
    static constexpr const char* pathsKey = "restoredDestinationPaths";
};

template <>
struct PrivilegedKindDescription<PrivilegedKind::trash>
    : PrivilegedKindDocuments<PrivilegedKind::trash, PrivilegedTrashItem> {
    static constexpr const char* method = "moveToTrash";
    static constexpr const char* pathsKey = "trashedDestinationPaths";
};

// Shares its paths key with restore: a reader picks the result type by the call it made.
template <>
struct PrivilegedKindDescription<PrivilegedKind::trashRecovery>
    : PrivilegedKindDocuments<PrivilegedKind::trashRecovery, PrivilegedTrashRestoreItem> {
    static constexpr const char* method = "restoreFromTrash";
    static constexpr const char* pathsKey = "restoredDestinationPaths";
};

} // namespace quorvane
