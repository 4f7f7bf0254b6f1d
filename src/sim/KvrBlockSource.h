#pragma once

#include <QString>

#include <array>
#include <cstdint>

// The block a device holds after the program has written the given .kvr
// settings file to it, with the given counters at positions 46-48. Files the
// program cannot load, and settings whose numeric fields are not numbers,
// are refused with a message.
bool loadKvrBlock(const QString &path, int powerOnCount, int serviceHours,
                  std::array<std::uint8_t, 128> &block, QString *error);
