#pragma once

#include <QIcon>

// The button glyphs of the main window's top strip and the window icon,
// drawn here rather than loaded from files so they stay sharp at any scale.
namespace Glyphs
{

QIcon open();        // a folder opening
QIcon save();        // a diskette
QIcon readDevice();  // communicator to computer
QIcon writeDevice(); // computer to communicator
QIcon program();     // the window icon: a lift car with a handset

} // namespace Glyphs
