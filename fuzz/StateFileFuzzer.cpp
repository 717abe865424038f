// The state file as it may be found in the user's home: any bytes, decoded and brought up to the
// current schema as at every start. After every input: a refusal with its sentence, or an
// inventory that encodes and decodes again to itself, before and after migration; a migrated one
// carries the current schema and migrates no further.

#include "FuzzCheck.h"
#include "Persistence/InventoryStateMigration.h"
#include "Persistence/PersistedInventory.h"

#include <cstdint>
#include <cstdlib>

namespace {

using namespace quorvane;
using fuzz::require;

void requireRoundTrip(const PersistedInventory& state, const char* rule) {
    const auto again = decodePersistedInventory(encodePersistedInventory(state));
    require(again && *again == state, rule);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const auto state = decodePersistedInventory(bytes);
    // For checking what the seeds reach: QUORVANE_FUZZ_VERBOSE=1 fuzzer seeds/FILE
    if (std::getenv("QUORVANE_FUZZ_VERBOSE"))
        std::fprintf(stderr, "%s\n",
                     state ? qPrintable(QStringLiteral("decoded, %1 products").arg(state->plugins.size()))
                           : qPrintable(state.error().description()));
    if (!state) {
        require(!state.error().description().isEmpty(), "a refused state file has its sentence");
        return 0;
    }
    requireRoundTrip(*state, "a decoded inventory encodes and decodes to itself");

    const auto migrated = InventoryStateMigration::migrate(*state);
    if (!migrated) {
        require(state->schemaVersion.value_or(1) > currentInventorySchemaVersion,
                "only a newer schema is refused");
        require(!migrated.error().description().isEmpty(), "a refused schema has its sentence");
        return 0;
    }
    require(migrated->state.schemaVersion == currentInventorySchemaVersion,
            "migration reaches the current schema");
    require(migrated->didMigrate == (state->schemaVersion != currentInventorySchemaVersion),
            "only an older schema is migrated");
    requireRoundTrip(migrated->state, "a migrated inventory encodes and decodes to itself");
    const auto again = InventoryStateMigration::migrate(migrated->state);
    require(again && !again->didMigrate && again->state == migrated->state,
            "a migrated inventory stays as it is");
    return 0;
}
