#pragma once

#include <QString>

// Text from a settings or language file on its way to a terminal. Such files
// travel between technicians; a value holding ESC ] 0 ; ... BEL or ESC [ 2 J
// would retitle or clear the terminal it is shown in. Control characters
// (C0, DEL and C1) are shown escaped as \xHH instead; everything else stays.
namespace TerminalText
{
QString printable(const QString &text);
}
