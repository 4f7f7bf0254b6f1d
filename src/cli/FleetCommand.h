#pragma once

#include <QStringList>

class QTextStream;

// fleet: every communicator of the device history, one line each, filtered;
// site: a serial number's site, set or shown. Both take the arguments after
// their name and the program folder whose History/ they use.
namespace FleetCommand
{

// Exit 0 when a row is listed, 1 when none matches, 2 for a malformed
// filter, 6 when the history cannot be read.
int fleet(const QStringList &args, const QString &programFolder, QTextStream &out, QTextStream &err);

// "SERIAL TEXT" sets, "SERIAL" prints (exit 1 when none is set).
int site(const QStringList &args, const QString &programFolder, QTextStream &out, QTextStream &err);

} // namespace FleetCommand
