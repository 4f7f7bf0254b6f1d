#pragma once

#include <QString>

// What the kernel tells about a serial device node through sysfs, found by
// the node's device number (so a link such as /dev/serial/by-id/... works as
// well as the node itself).
namespace SerialPortInfo
{

// The sysfs tree to read; "/sys" unless set. Tests point it at a folder of
// their own.
void setSysfsRoot(const QString &root);
QString sysfsRoot();

// The device's folder under sysfs, or empty when the path is no character
// device or sysfs does not know it.
QString deviceFolder(const QString &devicePath);

// True for a serial port whose driver found no UART behind it (port type
// unknown): every PC has ttyS0-ttyS7 nodes, most of them with nothing there.
bool hasNoUart(const QString &devicePath);

// "maker product" of the USB adapter behind the node, as the adapter names
// itself; empty when the node is not on USB or the adapter gives no names.
QString usbAdapter(const QString &devicePath);

} // namespace SerialPortInfo
