#include "app/FieldGuards.h"

#include "lang/LanguageTexts.h"
#include "platform/MessageBoxes.h"
#include "settings/FieldChecks.h"
#include "settings/KeyFilters.h"
#include "settings/ParameterTable.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
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
        // Ctrl shortcuts (paste, undo, select all) pass; a character typed
        // with Alt or Meta held is still a typed character and is filtered.
        if (e->modifiers() & Qt::ControlModifier)
            return false;
        const QString typed = e->text();
        if (typed.isEmpty() || isNavigationKey(e))
            return false;

        QString taken;
        for (QChar c : typed)
            if (const std::optional<QChar> got =
                    KeyFilters::accept(m_param->filter, c, systemDecimalSeparator()))
                taken += *got;
        if (taken == typed)
            return false;
        taken.remove(QChar(KeyFilters::Backspace));
        if (!taken.isEmpty())
            m_field->insert(taken); // as if typed: replaces a selection, keeps the maximum length
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

        const FieldCheckResult r = FieldChecks::run(m_param->check, m_field->text(), systemDecimalSeparator());
        if (r.text != m_field->text())
            m_field->setText(r.text);
        if (r.failed())
            returnFocusAfter(r.messageKey);
    }

    // The message and the focus change wait until Qt has finished moving the
    // focus away, so neither runs inside a focus change.
    void returnFocusAfter(int messageKey)
    {
        fieldBeingReturnedTo() = m_field;
        QPointer<QLineEdit> field = m_field;
        QTimer::singleShot(0, field, [field, messageKey] {
            if (!field) {
                fieldBeingReturnedTo() = nullptr;
                return;
            }
            MessageBoxes::showMessage(field->window(),
                                      LanguageTexts::text(QStringLiteral("MESSAGE"), messageKey));
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
        const bool counter = name == QLatin1String("Edit14") || name == QLatin1String("Edit157");
        if (!counter && !(param && param->kind == ParamKind::Edit))
            continue;
        if (field->property(guardedProperty).toBool())
            continue; // installed already
        field->setProperty(guardedProperty, true);
        field->installEventFilter(new FieldGuard(field, counter ? nullptr : param));
    }
}
