#include "device/SerPort.h"

#include "device/FormFont.h"

#include <QCheckBox>

TForm5::TForm5(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("TForm5"));
    setFont(formFont());
    setFixedSize(243, 264);

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

void TForm5::CheckBox1Click()
{
    emit usbChoiceChanged(CheckBox1->isChecked());
}
