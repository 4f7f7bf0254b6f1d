#include "app/FieldGuards.h"

#include "app/MessageBoxes.h"
#include "lang/LanguageTexts.h"
#include "settings/FieldChecks.h"
#include "settings/KeyFilters.h"
#include "settings/ParameterTable.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPointer>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>
#include <QVariant>

namespace
{

QChar systemDecimalSeparator()
{
    const QString point = QLocale().decimalPoint();
    return point.isEmpty() ? QChar(u'.') : point.front();
}

// The field whose failed check is being answered: until the focus is back
// in it, other fields do not run their checks, so two fields that both fail
// cannot pull the focus from each other.
QPointer<QLineEdit> &fieldBeingReturnedTo()
{
    static QPointer<QLineEdit> field;
    return field;
}

// Makes the field reachable again: every tab page or stacked page on the way
// up to the window shows the branch that holds it.
void bringToFront(QWidget *field)
{
    QWidget *child = field;
    for (QWidget *w = field->parentWidget(); w; child = w, w = w->parentWidget()) {
        if (auto *tabs = qobject_cast<QTabWidget *>(w)) {
            for (int i = 0; i < tabs->count(); ++i)
                if (tabs->widget(i)->isAncestorOf(field))
                    tabs->setCurrentIndex(i);
        } else if (auto *stack = qobject_cast<QStackedWidget *>(w)) {
            if (!qobject_cast<QTabWidget *>(stack->parentWidget()))
                stack->setCurrentWidget(child);
        }
    }
}

bool isNavigationKey(const QKeyEvent *e)
{
    switch (e->key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Delete:
        return true;
    default:
        return false;
    }
}

// Eats the release of the click that took the focus from a field whose
// check then failed, so the button does not run its command: the press of
// that click passes (the focus moved before the button saw it), its release
// is swallowed. A second press means the release never came (a message box
// took it); the button is then left alone.
class ClickSwallower : public QObject
{
  public:
    explicit ClickSwallower(QAbstractButton *button) : QObject(button), m_button(button)
    {
        button->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_button)
            return false;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick:
            if (m_pressSeen)
                done();
            m_pressSeen = true;
            return false;
        case QEvent::MouseButtonRelease:
            m_button->setDown(false);
            done();
            return true;
        default:
            return false;
        }
    }

  private:
    void done()
    {
        m_button->removeEventFilter(this);
        deleteLater();
    }

    QAbstractButton *m_button;
    bool m_pressSeen = false;
};

class FieldGuard : public QObject
{
  public:
    FieldGuard(QLineEdit *field, const Parameter *param) : QObject(field), m_field(field), m_param(param) {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched != m_field)
            return false;
        switch (event->type()) {
        case QEvent::KeyPress:
            return filterKey(static_cast<QKeyEvent *>(event));
        case QEvent::ContextMenu:
            return m_param && contextMenu(static_cast<QContextMenuEvent *>(event));
        case QEvent::MouseButtonRelease:
            return m_param && middleClickPaste(static_cast<QMouseEvent *>(event));
        case QEvent::Drop:
            return m_param && drop(static_cast<QDropEvent *>(event));
        case QEvent::InputMethod:
            return m_param && inputMethod(static_cast<QInputMethodEvent *>(event));
        case QEvent::FocusOut:
            leaving(static_cast<QFocusEvent *>(event));
            return false;
        default:
            return false;
        }
    }

  private:
    // True when the key is swallowed.
    bool filterKey(QKeyEvent *e)
    {
        // The counters take no key at all; Tab still leaves them.
        if (!m_param)
            return !(e->key() == Qt::Key_Tab || e->key() == Qt::Key_Backtab);
        if (e->matches(QKeySequence::Paste)) {
            insertFiltered(QGuiApplication::clipboard()->text());
            return true;
        }
        // Other Ctrl shortcuts (undo, select all) pass; a character typed
        // with Alt or Meta held is still a typed character and is filtered.
        if (e->modifiers() & Qt::ControlModifier)
            return false;
        const QString typed = e->text();
        if (typed.isEmpty() || isNavigationKey(e))
            return false;

        if (filtered(typed) == typed)
            return false;
        insertFiltered(typed);
        return true;
    }

    // What typing the text would put into the field.
    QString filtered(const QString &text) const
    {
        QString taken;
        for (QChar c : text)
            if (const std::optional<QChar> got =
                    KeyFilters::accept(m_param->filter, c, systemDecimalSeparator()))
                taken += *got;
        return taken;
    }

    // Pasted or dropped text goes in as if typed: refused characters dropped,
    // mapped ones mapped, a selection replaced and the maximum length kept.
    void insertFiltered(const QString &text)
    {
        QString taken = filtered(text);
        taken.remove(QChar(KeyFilters::Backspace));
        if (!taken.isEmpty() && !m_field->isReadOnly())
            m_field->insert(taken);
    }

    // The field's own context menu, with its paste going through the filter.
    bool contextMenu(const QContextMenuEvent *e)
    {
        QMenu *menu = m_field->createStandardContextMenu();
        for (QAction *action : menu->actions()) {
            // The paste item is the one wired to the field's own paste.
            const bool paste = QObject::disconnect(action, &QAction::triggered, m_field, &QLineEdit::paste) ||
                               QObject::disconnect(action, SIGNAL(triggered()), m_field, SLOT(paste()));
            if (!paste)
                continue;
            action->setObjectName(QStringLiteral("edit-paste"));
            connect(action, &QAction::triggered, m_field,
                    [this] { insertFiltered(QGuiApplication::clipboard()->text()); });
        }
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(e->globalPos());
        return true;
    }

    // The selection paste of a middle click.
    bool middleClickPaste(const QMouseEvent *e)
    {
        QClipboard *clipboard = QGuiApplication::clipboard();
        if (e->button() != Qt::MiddleButton || !clipboard->supportsSelection())
            return false;
        m_field->deselect();
        m_field->setCursorPosition(m_field->cursorPositionAt(e->position().toPoint()));
        insertFiltered(clipboard->text(QClipboard::Selection));
        return true;
    }

    bool drop(QDropEvent *e)
    {
        // Text the field takes as it is is left to the field (which also
        // moves text dragged within it).
        if (!e->mimeData()->hasText() || filtered(e->mimeData()->text()) == e->mimeData()->text())
            return false;
        m_field->deselect();
        m_field->setCursorPosition(m_field->cursorPositionAt(e->position().toPoint()));
        insertFiltered(e->mimeData()->text());
        e->acceptProposedAction();
        return true;
    }

    // Text committed by an input method is typed text too.
    bool inputMethod(const QInputMethodEvent *e)
    {
        const QString committed = e->commitString();
        if (committed.isEmpty() || filtered(committed) == committed)
            return false;
        insertFiltered(committed);
        return true;
    }

    void leaving(const QFocusEvent *e)
    {
        if (!m_param || m_param->check == FieldCheck::None)
            return;
        switch (e->reason()) {
        case Qt::TabFocusReason:
        case Qt::BacktabFocusReason:
        case Qt::MouseFocusReason:
        case Qt::ShortcutFocusReason:
        case Qt::OtherFocusReason:
            break;
        default:
            return; // another window, a menu, a popup
        }
        const QWidget *next = QApplication::focusWidget();
        if (!next || next == m_field || next->window() != m_field->window())
            return;
        const QPointer<QLineEdit> &pending = fieldBeingReturnedTo();
        if (pending && pending != m_field)
            return;

        const FieldCheckResult r = FieldChecks::run(*m_param, m_field->text(), systemDecimalSeparator());
        if (r.text != m_field->text())
            m_field->setText(r.text);
        if (!r.failed())
            return;
        // The button clicked to leave the field would run its command at the
        // release of the same click, before the message: it must not.
        if (e->reason() == Qt::MouseFocusReason)
            if (auto *button = qobject_cast<QAbstractButton *>(QApplication::focusWidget()))
                new ClickSwallower(button);
        returnFocusAfter(*r.message);
    }

    // The message and the focus change wait until Qt has finished moving the
    // focus away, so neither runs inside a focus change.
    void returnFocusAfter(Text message)
    {
        fieldBeingReturnedTo() = m_field;
        QPointer<QLineEdit> field = m_field;
        QTimer::singleShot(0, field, [field, message] {
            if (!field) {
                fieldBeingReturnedTo() = nullptr;
                return;
            }
            MessageBoxes::showMessage(field->window(), LanguageTexts::text(message));
            if (field) {
                bringToFront(field);
                field->setFocus(Qt::OtherFocusReason);
            }
            fieldBeingReturnedTo() = nullptr;
        });
    }

    QLineEdit *m_field;
    const Parameter *m_param; // nullptr: a counter that takes no input
};

} // namespace

void installFieldGuards(QWidget *root)
{
    static const char guardedProperty[] = "tessaroFieldGuard";
    if (!root)
        return;
    for (QLineEdit *field : root->findChildren<QLineEdit *>()) {
        const QString name = field->objectName();
        const Parameter *param = ParameterTable::byControl(name);
        const bool counter = ParameterTable::counterByControl(name) != nullptr;
        if (!counter && !(param && param->kind == ParamKind::Edit))
            continue;
        if (field->property(guardedProperty).toBool())
            continue; // installed already
        field->setProperty(guardedProperty, true);
        field->installEventFilter(new FieldGuard(field, counter ? nullptr : param));
    }
}
