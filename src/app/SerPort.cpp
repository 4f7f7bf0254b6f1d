#include "app/SerPort.h"

#include "app/AfPortControls.h"
#include "app/DialogPlacement.h"
#include "app/FormFont.h"

#include <QCheckBox>

TForm5::TForm5(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("TForm5"));
    setFont(formFont());
    setFixedSize(243, 264);

    AfPortRadioGroup1 = new TAfPortRadioGroup(this);
    AfPortRadioGroup1->setObjectName(QStringLiteral("AfPortRadioGroup1"));
    AfPortRadioGroup1->setGeometry(20, 16, 205, 209);
    AfPortRadioGroup1->BeginLoading();
    AfPortRadioGroup1->SetMaxComPorts(16);
    AfPortRadioGroup1->SetOptions(AfPortCtlOption(pcCheckExist) | AfPortCtlOption(pcDisableOpen) |
                                  AfPortCtlOption(pcHighlightOpen));
    AfPortRadioGroup1->SetColumns(2);
    AfPortRadioGroup1->setTitle(QStringLiteral("Výběr dostupného portu")); // replaced by the language
    // Every port is opened once now, and again each time the dialog is shown.
    AfPortRadioGroup1->Loaded();

    CheckBox1 = new QCheckBox(QStringLiteral("USB cable"), this); // not a language text
    CheckBox1->setObjectName(QStringLiteral("CheckBox1"));
    CheckBox1->setGeometry(64, 232, 97, 17);
    connect(CheckBox1, &QCheckBox::clicked, this, [this] { CheckBox1Click(); });
}

void TForm5::setUsbChecked(bool checked)
{
    CheckBox1->setChecked(checked);
    CheckBox1Click();
}

void TForm5::showEvent(QShowEvent *event)
{
    fitToChoice();
    DialogPlacement::centre(this); // at its size for this showing
    // An adapter plugged in since the last showing, or a port another
    // program has let go, is offered now.
    if (!CheckBox1->isChecked())
        AfPortRadioGroup1->RefreshPorts();
    QDialog::showEvent(event);
}

void TForm5::CheckBox1Click()
{
    fitToChoice();
    if (!CheckBox1->isChecked() && isVisible())
        AfPortRadioGroup1->RefreshPorts();
    emit usbChoiceChanged(CheckBox1->isChecked());
}

void TForm5::fitToChoice()
{
    // With the cable chosen there is no serial port to pick: the dialog
    // shrinks to the box instead of showing an empty frame.
    const bool usb = CheckBox1->isChecked();
    AfPortRadioGroup1->setVisible(!usb);
    CheckBox1->move(64, usb ? 16 : 232);
    setFixedSize(243, usb ? 49 : 264);
}
