#include "settings/BlockMap.h"

#include "settings/ParameterTable.h"

#include <QStringList>

namespace BlockMap
{

namespace
{
// Reserved by the communicator: 10, 30, 41-44 and the eight bytes after each
// report number.
constexpr int UnusedPositions[] = {10, 30, 41, 42, 43, 44, 57, 58, 59, 60, 61, 62,
                                   63, 64, 73, 74, 75, 76, 77, 78, 79, 80};

int bitsOf(const BlockPlace &b)
{
    switch (b.form) {
    case BlockForm::HighHalf:
        return 0xF0;
    case BlockForm::LowHalf:
        return 0x0F;
    case BlockForm::Bit:
        return 1 << b.size;
    default:
        return 0xFF;
    }
}

bool holds(const BlockPlace &b, int position)
{
    return position >= b.pos && position < b.pos + b.length();
}
} // namespace

std::span<const int> unused()
{
    return UnusedPositions;
}

QList<Use> usesOf(int position)
{
    QList<Use> uses;
    for (const Parameter &p : ParameterTable::all())
        if (holds(p.block, position))
            uses.append({QLatin1String(p.key), bitsOf(p.block)});
    for (const Counter &c : ParameterTable::counters())
        if (holds(c.block, position))
            uses.append({QLatin1String(c.name), bitsOf(c.block)});
    return uses;
}

QString keysAt(int position)
{
    QStringList keys;
    for (const Use &use : usesOf(position))
        keys << use.key;
    return keys.join(QStringLiteral(", "));
}

} // namespace BlockMap
