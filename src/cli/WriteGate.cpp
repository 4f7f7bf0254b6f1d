#include "cli/WriteGate.h"

#include "cli/TerminalText.h"

#include "settings/ParameterListing.h"

QString describeRefusal(const WriteCheck::Refusal &refusal)
{
    // The label and what is allowed come from the language file.
    return QStringLiteral("%1 (%2) holds '%3'; allowed: %4")
        .arg(TerminalText::printable(ParameterListing::fieldLabel(refusal.key, refusal.control)), refusal.key,
             TerminalText::printable(refusal.text), TerminalText::printable(refusal.allowed));
}
