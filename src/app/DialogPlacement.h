#pragma once

class QWidget;

// Where the program's dialogs appear: centred on the main window at every
// showing, wherever the main window has moved meanwhile.
namespace DialogPlacement
{

// Centres window's client area on that of its parent's window, kept on the
// parent's screen. The window frame plays no part: it is not known before
// the window is first on screen, and both frames come from the same window
// manager. Nothing happens while the parent is not shown.
void centre(QWidget *window);

// Centres the window each time it is shown (before it reaches the screen).
void centreAtEveryShowing(QWidget *window);

} // namespace DialogPlacement
