// The settings record over the main window's controls, driven by the
// parameter table: the controls hold the only copy of the values.

#include "app/KAVR10.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include <algorithm>

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
        for (const Choice &choice : param->choices)
            if (auto *r = qobject_cast<QRadioButton *>(control(choice.control)); r && r->isChecked())
                return latin(choice.stored);
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
    if (!param || !param->takes(text))
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
        if (auto *r = qobject_cast<QRadioButton *>(control(param->choice(text)->control)))
            r->setChecked(true);
        return;
    case ParamKind::Check:
        if (auto *c = qobject_cast<QCheckBox *>(control(param->control)))
            c->setChecked(text == QLatin1String("1"));
        return;
    case ParamKind::Tone: {
        const int sum = param->choice(text)->device;
        if (auto *first = qobject_cast<QCheckBox *>(control(param->control)))
            first->setChecked(sum & 1);
        if (auto *second = qobject_cast<QCheckBox *>(control(param->control2)))
            second->setChecked(sum & 2);
        return;
    }
    }
}

// The controls of a firmware-dependent option: its boxes or its buttons.
QList<QWidget *> TForm1::gatedControls(FirmwareGate gate) const
{
    QList<QWidget *> controls;
    const Parameter *param = ParameterTable::gated(gate);
    if (!param)
        return controls;
    for (const char *name : {param->control, param->control2})
        if (QWidget *w = control(name))
            controls << w;
    for (const Choice &choice : param->choices)
        if (QWidget *w = control(choice.control))
            controls << w;
    return controls;
}

bool TForm1::toneOptionsEnabled() const
{
    return optionsEnabled(FirmwareGate::ToneOptions);
}

void TForm1::setToneOptionsEnabled(bool enabled)
{
    for (QWidget *w : gatedControls(FirmwareGate::ToneOptions))
        w->setEnabled(enabled);
}

bool TForm1::polarityOptionsEnabled() const
{
    return optionsEnabled(FirmwareGate::PolarityOptions);
}

void TForm1::setPolarityOptionsEnabled(bool enabled)
{
    for (QWidget *w : gatedControls(FirmwareGate::PolarityOptions))
        w->setEnabled(enabled);
}

bool TForm1::optionsEnabled(FirmwareGate gate) const
{
    const QList<QWidget *> controls = gatedControls(gate);
    return !controls.isEmpty() &&
           std::all_of(controls.begin(), controls.end(), [this](QWidget *w) { return w->isEnabledTo(this); });
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
