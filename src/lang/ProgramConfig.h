#pragma once

#include <QString>

// Config.ini in the program folder: the serial port, the cable choice and the
// language between runs, plus two serial tuning keys set by hand.
namespace ProgramConfig
{

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
    // Section History (set by hand): who keeps the entries (empty: the
    // login's full name, else its name), the mail that goes with it (empty:
    // login@host), and the company's repository the history is shared with
    // (empty: kept on this computer only).
    QString technician;
    QString mail;
    QString remote;
};

// The two help texts kept in section Info for whoever edits the file.
QString closePortInfo();
QString timeOutRSInfo();

// folder + "/Config.ini".
QString path(const QString &folder);

// Every key of section Setup, each with its default when missing or unreadable.
Values read(const QString &file);

// Writes the program's six entries one by one, in their fixed order, into the
// file (created when missing; other entries are kept): Info ClosePort, Info
// TimeOutRS, "-" "-", Setup USB, Setup COM, Setup Lang. ClosePort and
// TimeOutRS of Setup are never written. Returns false as soon as a write is
// refused.
bool write(const QString &file, bool usb, int com, const QString &langName);

// "Unable to write to <file>".
QString writeFailureText(const QString &file);

} // namespace ProgramConfig
