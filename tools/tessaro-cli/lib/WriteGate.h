#pragma once

#include <QString>

#include <optional>

class SettingsRecord;

// The checks a write passes before any byte goes on the line, the same the
// program's Write command makes. The reason for refusing, or nothing when
// the record may be sent.
std::optional<QString> writeRefusal(const SettingsRecord &record);
