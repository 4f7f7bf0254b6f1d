#pragma once

#include <QStringList>

class QMenuBar;

// Hotkey markers ("&") for the menus, whatever language the captions are in,
// so that Alt and a letter opens a menu and a letter picks an item.
namespace MenuHotkeys
{

// The captions of one menu level, in menu order, each with one marker. A
// marker the caption already has stays when its letter is still free on
// this level; every other caption gets one in front of its first letter or
// digit not yet taken there (letter case does not count), then the next
// ones; a caption with no free letter gets none. "&&" stands for an
// ampersand and is no marker.
QStringList marked(const QStringList &captions);

// Marks the visible menus of the bar, and the visible items of each menu,
// level by level. Run again whenever captions change.
void assign(QMenuBar *bar);

} // namespace MenuHotkeys
