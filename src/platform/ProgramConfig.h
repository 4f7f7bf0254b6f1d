#pragma once

#include "platform/SafeFile.h"

#include <QList>
#include <QPair>
#include <QString>

// Config.ini in the program folder: the serial port, the cable choice and the
// language between runs, plus two serial tuning keys set by hand, and the
// device of each serial port. The one place that reads it.
namespace ProgramConfig
{

// Config.ini holds a few hundred bytes (and a [Ports] line for each port
// there is): a larger file is none the program wrote or a person typed.
inline constexpr qint64 SizeLimit = 64 * 1024;

struct Values {
    int com = 1;
    int usb = 0;
    QString lang = QStringLiteral("Cesky.lng");
    QString closePort = QStringLiteral("0");
    int timeOutRS = 10;
    // 1: a write sends one byte per poll tick, as older versions did,
    // instead of answering each handshake at once. Set by hand only.
    int writeOnTick = 0;
    // A file that gets a hex trace of every exchange (set by hand; empty: none).
    QString trace;
    // 0: no blocks kept in History/ of the program folder (set by hand).
    int history = 1;
    // 0: a write neither reads the block before it nor reads it back to
    // check it (set by hand).
    int verifyWrite = 1;
    // 0: a verified write sends without first listing what it will change
    // (set by hand).
    int confirmChanges = 1;
    // Section History (set by hand): who keeps the entries (empty: the
    // login's full name, else its name), the mail that goes with it (empty:
    // login@host), and the company's repository the history is shared with
    // (empty: kept on this computer only).
    QString technician;
    QString mail;
    QString remote;
    // Section [Ports]: "COMn" keys naming the device of serial port n.
    QList<QPair<QString, QString>> ports;
    // Why the file could not be read (Missing when it is not there); every
    // value is then its default.
    SafeFile::Status status;

    // The device [Ports] names for port number, or an empty text.
    QString portPath(int number) const;
    // "<file>: <why>" when the file is there and could not be read, else
    // empty: what the program and the tool tell the user.
    QString problem(const QString &file) const;
};

// The two help texts kept in section Info for whoever edits the file.
QString closePortInfo();
QString timeOutRSInfo();

// folder + "/Config.ini".
QString path(const QString &folder);

// Every key of section Setup, each with its default when missing or
// unreadable, and section Ports: the file read once.
Values read(const QString &file);

// Writes the program's six entries one by one, in their fixed order, into the
// file (created when missing; other entries are kept): Info ClosePort, Info
// TimeOutRS, "-" "-", Setup USB, Setup COM, Setup Lang. ClosePort and
// TimeOutRS of Setup are never written. Returns false as soon as a write is
// refused, and at once for a file that is there but cannot be read (its
// lines would be lost).
bool write(const QString &file, bool usb, int com, const QString &langName);

// "Unable to write to <file>".
QString writeFailureText(const QString &file);

} // namespace ProgramConfig
