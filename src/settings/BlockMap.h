#pragma once

#include <QList>
#include <QString>

#include <span>

// The communicator's 128-byte configuration block position by position: the
// marker, the parameters and counters of the parameter table at the places
// their rows give (a byte, a run of bytes, a half byte or a bit), and the
// positions the communicator keeps but nothing uses, which always hold 0xFF.
// Every position is exactly one of these.
namespace BlockMap
{

constexpr int Size = 128;
constexpr int MarkerPosition = 1;

// The positions nothing uses, in block order.
std::span<const int> unused();

// One holder of a position: a parameter's or counter's key and the bits of
// the byte it holds (0xFF a whole byte, 0xF0 / 0x0F a half, one bit a flag).
struct Use {
    QString key;
    int bits = 0xFF;
};
// Who holds a position (1 to 128); empty for the marker and the unused ones.
QList<Use> usesOf(int position);
// The keys holding a position, ", " between them: what a difference there
// changes. Empty for the marker and the unused positions.
QString keysAt(int position);

} // namespace BlockMap
