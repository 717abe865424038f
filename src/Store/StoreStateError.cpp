#include "Store/StoreStateError.h"

#include "Store/StoreTexts.h"

namespace quorvane {

QString StoreStateError::description() const {
    return std::visit(
        [](const auto& error) -> QString {
            if constexpr (std::is_same_v<std::decay_t<decltype(error)>, StateWritesBlocked>)
                return error.readOnlyFolder ? StoreTexts::Error::dataFolderReadOnly
                                            : StoreTexts::Error::stateWritesBlocked;
            else
                return error.description();
        },
        cause);
}

} // namespace quorvane
