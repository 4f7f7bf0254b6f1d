#pragma once

#include <QFont>

// The font of the program's windows: a face every Debian desktop has, at the
// size where the Czech captions of the fixed layouts fit.
inline QFont formFont()
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(11);
    return font;
}
