#pragma once

#include <QString>

struct CliArgs;

// The way to the communicator for one run: a serial port by its number (its
// device found as the program finds it: [Ports] of Config.ini, else the
// built-in paths), a device path given outright, or the USB cable.
struct CliTransport {
    bool usb = false;
    int comNumber = 1;
    QString devicePath;       // given outright with --device; empty otherwise
    int timeOutRS = 10;       // serial poll interval from Config.ini
    bool writeOnTick = false; // [Setup] WriteOnTick=1: a write paced by the poll tick
    QString configTrace;      // [Setup] Trace of Config.ini, made absolute
    QString configProblem;    // why Config.ini could not be read, when it is there
    QString programFolder;    // where Config.ini and History/ are
    bool history = true;      // [Setup] History: blocks kept in History/
    bool verifyWrite = true;  // [Setup] VerifyWrite: a write reads before and after

    // "COM3 (/dev/ttyUSB0)", "/dev/ttyUSB0" or "USB cable ZARP-USB".
    QString describe() const;

    // The command line's choice, else the one Config.ini in programFolder
    // holds (COM and USB of [Setup]), as the program would take it.
    static CliTransport choose(const CliArgs &args, const QString &programFolder);
};
