// The settings record over the main window's controls, driven by the
// parameter table: the controls hold the only copy of the values.

#include "app/KAVR10.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

namespace
{

QString latin(const char *s)
{
    return QLatin1String(s);
}

} // namespace

QString TForm1::storedText(const QString &key) const
{
    const Parameter *param = ParameterTable::byKey(key);
    if (!param)
        return QString();
    switch (param->kind) {
    case ParamKind::Edit:
        if (auto *e = qobject_cast<QLineEdit *>(control(param->control)))
            return e->text();
        return QString();
    case ParamKind::Options:
        for (int i = 0; i < param->optionCount; ++i)
            if (auto *r = qobject_cast<QRadioButton *>(control(param->options[i].control));
                r && r->isChecked())
                return latin(param->options[i].stored);
        return QString();
    case ParamKind::Check: {
        auto *c = qobject_cast<QCheckBox *>(control(param->control));
        return c && c->isChecked() ? QStringLiteral("1") : QStringLiteral("0");
    }
    case ParamKind::Tone: {
        auto *first = qobject_cast<QCheckBox *>(control(param->control));
        auto *second = qobject_cast<QCheckBox *>(control(param->control2));
        const int sum = (first && first->isChecked() ? 1 : 0) + (second && second->isChecked() ? 2 : 0);
        return QString::number(sum);
    }
    }
    return QString();
}

void TForm1::setStoredText(const QString &key, const QString &text)
{
    const Parameter *param = ParameterTable::byKey(key);
    if (!param)
        return;
    switch (param->kind) {
    case ParamKind::Edit:
        if (auto *e = qobject_cast<QLineEdit *>(control(param->control))) {
            // A value from a file or the communicator shows whole even when it
            // is longer than typing allows; the limit returns once it is edited
            // below the table's length.
            e->setMaxLength(std::max(param->maxLength, int(text.length())));
            e->setText(text);
        }
        return;
    case ParamKind::Options:
        for (int i = 0; i < param->optionCount; ++i)
            if (text == latin(param->options[i].stored))
                if (auto *r = qobject_cast<QRadioButton *>(control(param->options[i].control)))
                    r->setChecked(true);
        return;
    case ParamKind::Check:
        if (auto *c = qobject_cast<QCheckBox *>(control(param->control))) {
            if (text == QLatin1String("1"))
                c->setChecked(true);
            else if (text == QLatin1String("0"))
                c->setChecked(false);
        }
        return;
    case ParamKind::Tone: {
        if (text.length() != 1 || text[0] < QLatin1Char('0') || text[0] > QLatin1Char('3'))
            return;
        const int sum = text[0].unicode() - '0';
        if (auto *first = qobject_cast<QCheckBox *>(control(param->control)))
            first->setChecked(sum & 1);
        if (auto *second = qobject_cast<QCheckBox *>(control(param->control2)))
            second->setChecked(sum & 2);
        return;
    }
    }
}

bool TForm1::toneOptionsEnabled() const
{
    const QWidget *first = control("CheckBox11");
    const QWidget *second = control("CheckBox12");
    return first && second && first->isEnabledTo(this) && second->isEnabledTo(this);
}

void TForm1::setToneOptionsEnabled(bool enabled)
{
    for (const char *name : {"CheckBox11", "CheckBox12"})
        if (QWidget *w = control(name))
            w->setEnabled(enabled);
}

bool TForm1::polarityOptionsEnabled() const
{
    const QWidget *first = control("RadioButton12");
    const QWidget *second = control("RadioButton13");
    return first && second && first->isEnabledTo(this) && second->isEnabledTo(this);
}

void TForm1::setPolarityOptionsEnabled(bool enabled)
{
    for (const char *name : {"RadioButton12", "RadioButton13"})
        if (QWidget *w = control(name))
            w->setEnabled(enabled);
}

QString TForm1::deviceValue(DeviceValue which) const
{
    switch (which) {
    case DeviceValue::PwOn:
        return Edit157->text();
    case DeviceValue::SvHr:
        return Edit14->text();
    case DeviceValue::SerN:
        return Label22->text();
    case DeviceValue::FirmwareVersion:
        return FirmwareVersion;
    }
    return QString();
}

void TForm1::setDeviceValue(DeviceValue which, const QString &text)
{
    switch (which) {
    case DeviceValue::PwOn:
        Edit157->setText(text);
        return;
    case DeviceValue::SvHr:
        Edit14->setText(text);
        return;
    case DeviceValue::SerN:
        Label22->setText(text);
        return;
    case DeviceValue::FirmwareVersion:
        FirmwareVersion = text;
        return;
    }
}
