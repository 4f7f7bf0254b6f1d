#include "app/Dotaz.h"

#include "app/FormFont.h"
#include "lang/LanguageTexts.h"

#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>

TForm9::TForm9(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("TForm9"));
    setFont(formFont());
    setFixedSize(353, 160);

    auto panel = [this](const char *name, int y) {
        auto *p = new QFrame(this);
        p->setObjectName(QLatin1String(name));
        p->setFrameStyle(QFrame::Panel | QFrame::Raised);
        p->setGeometry(8, y, 337, 49);
        return p;
    };
    Panel3 = panel("Panel3", 8);
    Label1 = new QLabel(Panel3);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 6, 276, 36);
    Label1->setWordWrap(true);
    Edit1 = new QLineEdit(Panel3);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(288, 16, 41, 21);
    // It carries the hours to the next service call, which reach 6143 (255
    // days and 23 hours): one character would cut "29" to "2".
    Edit1->setMaxLength(4);
    Edit1->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), Edit1));

    Panel1 = panel("Panel1", 64);
    Label3 = new QLabel(Panel1);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(8, 4, 320, 17);
    RadioButton3 = new QRadioButton(Panel1);
    RadioButton3->setObjectName(QStringLiteral("RadioButton3"));
    RadioButton3->setGeometry(16, 24, 140, 20);
    RadioButton3->setChecked(true);
    RadioButton4 = new QRadioButton(Panel1);
    RadioButton4->setObjectName(QStringLiteral("RadioButton4"));
    RadioButton4->setGeometry(176, 24, 140, 20);

    Label4 = new QLabel(this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->setGeometry(16, 128, 240, 17);
    Label4->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Button1 = new QPushButton(QStringLiteral("OK"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setGeometry(264, 120, 79, 29);
    Button1->setDefault(true);
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
}

void TForm9::prepare(const Counters &c)
{
    Panel3->hide();
    Panel1->hide();
    Edit1->setText(c.hours);
    RadioButton3->setText(c.devicePowerOn);
    RadioButton4->setText(c.powerOnCount);
    if (c.deviceHours != c.hours) {
        Label1->setText(LanguageTexts::text(Text::HoursToServiceCall) + QLatin1Char(' ') + c.deviceHours +
                        QLatin1Char(' ') + LanguageTexts::text(Text::ChangeTo));
        Panel3->show();
    }
    if (c.devicePowerOn != c.powerOnCount) {
        Label3->setText(LanguageTexts::text(Text::KeepOrOverwritePowerOnCount));
        Panel1->show();
    }
    Label4->setText(LanguageTexts::text(Text::ConfirmToGoOnWriting));
}

QString TForm9::chosenHours() const
{
    return Edit1->text();
}

QString TForm9::chosenPowerOnCount() const
{
    return RadioButton4->isChecked() ? RadioButton4->text() : RadioButton3->text();
}
