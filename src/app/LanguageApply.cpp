#include "app/LanguageApply.h"

#include "app/MainWindowState.h"
#include "lang/LanguageTable.h"
#include "lang/LanguageTexts.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>
#include <QWidget>

namespace
{

QWidget *windowNamed(const QList<QWidget *> &windows, const char *name)
{
    for (QWidget *w : windows)
        if (w && w->objectName() == QLatin1String(name))
            return w;
    return nullptr;
}

// A control of this window by name; the program's other windows, which may
// be children of this one, are not searched (their controls share names).
QObject *controlNamed(QObject *window, QLatin1String name, const QList<QWidget *> &windows)
{
    QList<QObject *> level = window->children();
    while (!level.isEmpty()) {
        QList<QObject *> next;
        for (QObject *o : level) {
            if (windows.contains(qobject_cast<QWidget *>(o)))
                continue;
            if (o->objectName() == name)
                return o;
            next += o->children();
        }
        level = next;
    }
    return nullptr;
}

// The tab widget whose page this is, or nullptr.
QTabWidget *tabOwner(QWidget *page)
{
    for (QWidget *p = page->parentWidget(); p; p = p->parentWidget())
        if (auto *tabs = qobject_cast<QTabWidget *>(p))
            return tabs->indexOf(page) >= 0 ? tabs : nullptr;
    return nullptr;
}

void setCaption(QObject *target, const QString &text)
{
    if (auto *action = qobject_cast<QAction *>(target)) {
        action->setText(text);
    } else if (auto *menu = qobject_cast<QMenu *>(target)) {
        menu->setTitle(text);
    } else if (auto *button = qobject_cast<QAbstractButton *>(target)) {
        button->setText(text);
    } else if (auto *label = qobject_cast<QLabel *>(target)) {
        label->setText(text);
    } else if (auto *group = qobject_cast<QGroupBox *>(target)) {
        group->setTitle(text);
    } else if (auto *widget = qobject_cast<QWidget *>(target)) {
        if (QTabWidget *tabs = tabOwner(widget))
            tabs->setTabText(tabs->indexOf(widget), text);
        else if (widget->metaObject()->indexOfProperty("caption") >= 0)
            widget->setProperty("caption", text);
        else if (widget->metaObject()->indexOfProperty("title") >= 0)
            widget->setProperty("title", text);
        else if (widget->metaObject()->indexOfProperty("text") >= 0)
            widget->setProperty("text", text);
    }
}

void setHint(QObject *target, const QString &text)
{
    if (auto *action = qobject_cast<QAction *>(target))
        action->setToolTip(text);
    else if (auto *widget = qobject_cast<QWidget *>(target))
        widget->setToolTip(text);
}

} // namespace

void applyLanguageTexts(const QList<QWidget *> &windows, MainWindowState *state)
{
    for (const LanguageRow &row : LanguageTable::rows()) {
        const QString text = LanguageTexts::shownText(row);
        const QLatin1String control(row.control ? row.control : "");
        if (row.use == TextUse::Role) {
            if (!state)
                continue;
            if (control == QLatin1String("ProgramTitle"))
                state->ProgramTitle = text;
            else if (control == QLatin1String("FilePrefix"))
                state->FilePrefix = text;
            continue; // other roles are read where they are used
        }
        QWidget *window = windowNamed(windows, row.window);
        if (!window)
            continue;
        QObject *target =
            control == QLatin1String(row.window) ? window : controlNamed(window, control, windows);
        if (!target)
            continue;
        if (row.use == TextUse::Hint)
            setHint(target, text);
        else if (target == window)
            window->setWindowTitle(text);
        else
            setCaption(target, text);
    }
}
