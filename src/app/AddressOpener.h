#pragma once

#include <QString>

class QWidget;

// Web addresses and mail links the user follows (News, the About box, a
// link of the help window).
namespace AddressOpener
{

// Hands the address to the desktop. When nothing opens it (no opener
// installed, or no browser or mail program behind it), the address is shown
// in a message the user can select and copy it from, over parent when that
// window still exists. An empty address opens nothing.
void open(QWidget *parent, const QString &address);

// What the message shows of an address: a mail link by its mail address
// alone, anything else as it is.
QString shownAddress(const QString &address);

} // namespace AddressOpener
