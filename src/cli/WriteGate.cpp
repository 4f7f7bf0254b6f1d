#include "cli/WriteGate.h"

#include "cli/TerminalText.h"

QString describeRefusal(const WriteCheck::Refusal &refusal)
{
    return QStringLiteral("%1 (%2) holds '%3'; allowed: %4")
        .arg(refusal.key, refusal.control, TerminalText::printable(refusal.text), refusal.allowed);
}
