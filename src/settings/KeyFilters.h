#pragma once

#include "settings/ParameterTable.h"

#include <QChar>

#include <optional>

// The filters that see every typed character before an edit field does.
// Text that reaches a field otherwise (paste, a loaded file, the
// communicator) is not filtered.
namespace KeyFilters
{

inline constexpr char16_t Backspace = u'\b';

// The character the field takes for the typed one (possibly mapped, as
// "h" -> "*" in telephone numbers), or nothing when it is discarded.
// Backspace passes every filter except None, which discards everything.
// decimalSeparator is the system's, accepted by the Decimal filter only.
std::optional<QChar> accept(KeyFilter filter, QChar typed, QChar decimalSeparator);

} // namespace KeyFilters
