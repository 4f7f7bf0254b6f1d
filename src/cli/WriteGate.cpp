#include "cli/WriteGate.h"

QString describeRefusal(const WriteCheck::Refusal &refusal)
{
    return QStringLiteral("%1 (%2) holds '%3'; allowed: %4")
        .arg(refusal.key, refusal.control, refusal.text, refusal.allowed);
}
