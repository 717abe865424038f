#pragma once

#include "Model/ModelHash.h"
#include "Model/PluginBundleSelection.h"
#include "Planning/InventoryRevisionToken.h"
#include "Support/EnumText.h"
#include "Support/JsonReader.h"

#include <QJsonObject>
#include <QString>
#include <QUuid>

#include <expected>
#include <optional>
#include <set>
#include <vector>

namespace quorvane {

enum class BundleActionKind { protect, removeProtection, quarantine, restore, trash };

// Raw values equal the case names.
const EnumTextTable<BundleActionKind>& bundleActionKindTexts();

enum class BundleActionBlockingReason {
    staleInventory,
    missingBundle,
    protectedBundle,
    mandatoryProtection,
    unsafePath,
    pendingTransaction,
    invalidState,
    destinationExists,
    duplicateSelection,
    tooManyItems,
};

// Raw values equal the case names.
const EnumTextTable<BundleActionBlockingReason>& bundleActionBlockingReasonTexts();

struct BundleActionBlockedSelection {
    PluginBundleSelection selection;
    BundleActionBlockingReason reason = BundleActionBlockingReason::missingBundle;
    // "<name> — <format>: <sentence>" about one known bundle, else the bare sentence.
    QString detail;

    // Texts by plain text equality, like the rest of the model.
    bool operator==(const BundleActionBlockedSelection& other) const;
};

size_t qHash(const BundleActionBlockedSelection& blocked, size_t seed = 0);

// The three path fields are exactly what one item of a helper request carries.
struct BundleActionPlanItem {
    PluginBundleSelection selection;
    QString pluginName;
    QString manufacturer;
    QString format;
    QString sourcePath;
    std::optional<QString> destinationPath; // absent for protect and removeProtection
    std::optional<qint64> sizeInBytes;
    std::optional<QString> operationID; // a UUID's 36-character text; absent for protect and removeProtection

    // Texts by plain text equality, like the rest of the model.
    bool operator==(const BundleActionPlanItem& other) const;
};

size_t qHash(const BundleActionPlanItem& item, size_t seed = 0);

struct BundleActionPlan {
    QUuid id;
    BundleActionKind operation = BundleActionKind::quarantine;
    InventoryRevisionToken inventoryRevision;
    std::vector<BundleActionPlanItem> items;
    std::vector<BundleActionBlockedSelection> blockedSelections;
    std::optional<QUuid> presetRunID;
    // Only quarantine plans fill it; compares as a set.
    std::set<QUuid> productsLosingAllActiveFormats;

    // The first blocked selection's detail; else "No eligible format bundles are selected." when
    // there is no item; else none. A plan is carried out only when this is none.
    std::optional<QString> blockingMessage() const;

    bool operator==(const BundleActionPlan&) const = default;
};

size_t qHash(const BundleActionPlan& plan, size_t seed = 0);

// Keys are the field names; optional fields are left out when absent and read as absent when
// missing or null. productsLosingAllActiveFormats is always written (sorted by UUID text).
QJsonObject toJson(const BundleActionBlockedSelection& blocked);
QJsonObject toJson(const BundleActionPlanItem& item);
QJsonObject toJson(const BundleActionPlan& plan);

[[nodiscard]] std::expected<BundleActionBlockedSelection, JsonError>
bundleActionBlockedSelectionFromJson(const QJsonObject& object, const QString& context = {});
[[nodiscard]] std::expected<BundleActionPlanItem, JsonError>
bundleActionPlanItemFromJson(const QJsonObject& object, const QString& context = {});
[[nodiscard]] std::expected<BundleActionPlan, JsonError>
bundleActionPlanFromJson(const QJsonObject& object, const QString& context = {});

} // namespace quorvane

template <>
struct std::hash<quorvane::BundleActionBlockedSelection>
    : quorvane::HashThroughQHash<quorvane::BundleActionBlockedSelection> {};
template <>
struct std::hash<quorvane::BundleActionPlanItem>
    : quorvane::HashThroughQHash<quorvane::BundleActionPlanItem> {};
template <>
struct std::hash<quorvane::BundleActionPlan> : quorvane::HashThroughQHash<quorvane::BundleActionPlan> {};
