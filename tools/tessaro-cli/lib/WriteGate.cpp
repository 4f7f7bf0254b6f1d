#include "WriteGate.h"

#include "device/WriteCheck.h"

#include <QLocale>

std::optional<QString> writeRefusal(const SettingsRecord &record)
{
    // The field checks read the system's decimal separator, as the program's do.
    const QString point = QLocale().decimalPoint();
    const auto bad = WriteCheck::firstRefusal(record, point.isEmpty() ? QChar(u'.') : point.front());
    if (!bad)
        return std::nullopt;
    return QStringLiteral("%1 (%2) holds '%3'; allowed: %4")
        .arg(bad->key, bad->control, bad->text, bad->allowed);
}
