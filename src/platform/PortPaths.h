#pragma once

#include <QString>

// Where the device of serial port COMn lives. Config.ini in the current
// directory may name it in section [Ports], key COMn; otherwise COM1-8 are
// /dev/ttyS0-7, COM9-12 /dev/ttyUSB0-3 and COM13-16 /dev/ttyACM0-3.
namespace PortPaths
{

// Empty when the port has no device (numbers of 0 or below, or above 16
// without a [Ports] entry).
QString devicePath(int number);

// A device named outright (a command-line tool's --device): port `number`
// then maps to `path` ahead of Config.ini. An empty path removes it. Set it
// before any port opens.
void setDeviceOverride(int number, const QString &path);

// The built-in path alone, ignoring Config.ini (under $TESSARO_DEVICE_ROOT
// when that is set).
QString defaultDevicePath(int number);

} // namespace PortPaths
