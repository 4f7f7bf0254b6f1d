#include "app/Tony.h"

#include "app/FormLayout.h"

#include <QPushButton>

const TForm3::Sample TForm3::samples[11] = {
    {"Button7", "PowerOn.WAV"},     {"Button8", "OnProgram.WAV"}, {"Button1", "PickUp.WAV"},
    {"Button9", "Programming.WAV"}, {"Button2", "HangUp.WAV"},    {"Button3", "Confirm.WAV"},
    {"Button5", "Buttonerror.WAV"}, {"Button4", "Error.WAV"},     {"Button10", "Input1.WAV"},
    {"Button11", "SysTime.WAV"},    {"Button6", "Allert.WAV"},
};

TForm3::TForm3(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("TForm3"));
    setFont(FormLayout::windowFont());
    setFixedSize(307, 253);
    for (int i = 0; i < 11; ++i) {
        auto *b = new QPushButton(this);
        b->setObjectName(QLatin1String(samples[i].button));
        b->setAutoDefault(false);
        if (i < 10)
            b->setGeometry(i % 2 ? 164 : 16, 8 + (i / 2) * 40, 129, 25);
        else
            b->setGeometry(88, 208, 129, 33); // the long caption of the last one wraps
        const QString file = QLatin1String(samples[i].file);
        connect(b, &QPushButton::clicked, this, [this, file] { emit sampleRequested(file); });
    }
    FormLayout::readingTabOrder(this);
}

QPushButton *TForm3::button(const char *name) const
{
    return findChild<QPushButton *>(QLatin1String(name));
}
