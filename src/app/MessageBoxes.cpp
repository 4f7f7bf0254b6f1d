#include "app/MessageBoxes.h"

#include "app/DialogPlacement.h"
#include "serial/AfUtils.h"

#include <QApplication>
#include <QMessageBox>

namespace MessageBoxes
{

namespace
{
std::function<bool(const Shown &)> &responder()
{
    static std::function<bool(const Shown &)> r;
    return r;
}

QString applicationTitle()
{
    return QApplication::applicationDisplayName().isEmpty() ? QApplication::applicationName()
                                                            : QApplication::applicationDisplayName();
}
} // namespace

void setResponder(std::function<bool(const Shown &)> r)
{
    responder() = std::move(r);
}

namespace
{

// A box centred on its owner's window, as the program's dialogs are. It
// takes its size only as it is shown, so it is placed after that.
class CentredBox : public QMessageBox
{
  public:
    using QMessageBox::QMessageBox;

  protected:
    void showEvent(QShowEvent *event) override
    {
        QMessageBox::showEvent(event);
        DialogPlacement::centre(this);
    }
};

void show(QWidget *parent, const Shown &shown)
{
    if (responder()) {
        responder()(shown);
        return;
    }
    CentredBox box(shown.warning ? QMessageBox::Warning : QMessageBox::NoIcon, applicationTitle(), shown.text,
                   QMessageBox::Ok, parent);
    // A box takes its owner's disabled state; the start-up messages come
    // while the main window is still disabled, and must take the OK.
    box.setEnabled(true);
    if (shown.copyable)
        box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    if (shown.onTop)
        box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}

} // namespace

void showMessage(QWidget *parent, const QString &text)
{
    show(parent, {text, QString(), false, false});
}

void showWarning(QWidget *parent, const QString &text)
{
    Shown shown{text, QString(), false, false};
    shown.warning = true;
    show(parent, shown);
}

void showCopyable(QWidget *parent, const QString &text)
{
    show(parent, {text, QString(), false, false, true, false});
}

void showOnTop(QWidget *parent, const QString &text)
{
    show(parent, {text, QString(), false, false, false, true});
}

bool askYesNo(QWidget *parent, const QString &text, const QString &title, bool defaultYes)
{
    if (responder())
        return responder()({text, title, true, defaultYes});
    CentredBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(defaultYes ? QMessageBox::Yes : QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void showSerialErrors()
{
    AfSetExceptionDisplay([](const QString &text) { showMessage(nullptr, text); });
}

} // namespace MessageBoxes
