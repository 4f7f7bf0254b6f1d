#include "app/WindowCaptions.h"

#include "lang/LanguageTexts.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QTabWidget>

QString WindowCaptions::caption(const QString &control) const
{
    if (QWidget *client = m_window.centralWidget()) {
        if (auto *w = client->findChild<QWidget *>(control)) {
            if (auto *label = qobject_cast<QLabel *>(w))
                return label->text();
            if (auto *group = qobject_cast<QGroupBox *>(w))
                return group->title();
            if (auto *button = qobject_cast<QAbstractButton *>(w))
                return button->text();
            for (QWidget *p = w->parentWidget(); p; p = p->parentWidget())
                if (auto *tabs = qobject_cast<QTabWidget *>(p))
                    if (const int index = tabs->indexOf(w); index >= 0)
                        return tabs->tabText(index);
            return QString();
        }
    }
    if (QMenuBar *bar = m_window.menuBar())
        if (auto *action = bar->findChild<QAction *>(control))
            return action->text();
    return QString();
}

QString WindowCaptions::yesNo(bool yes) const
{
    // Words of the printout only; no control shows them.
    return LanguageTexts::text(yes ? Text::Yes : Text::No);
}
