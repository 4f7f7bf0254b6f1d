#pragma once

#include "settings/PrintCaptions.h"

class QMainWindow;

// The printout's captions read from the live main window: labels, group
// boxes, buttons and check boxes of its client area, its tab page captions
// and its menu items, each found by component name. The window's other
// dialogs are never searched (their controls share names).
class WindowCaptions : public PrintCaptions
{
  public:
    explicit WindowCaptions(const QMainWindow &window) : m_window(window) {}

    QString caption(const QString &control) const override;
    QString yesNo(bool yes) const override;

  private:
    const QMainWindow &m_window;
};
