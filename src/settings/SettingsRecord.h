#pragma once

#include "settings/ParameterTable.h"

#include <QString>

#include <optional>

// The record interface: what the settings file, the device codec and the
// printout see of the parameter set. The main window implements it directly
// over its controls (so the controls stay the one copy of the values);
// MemoryRecord serves tests and command-line tools.
//
// setStoredText follows the record rule of the parameter's row
// (Parameter::takes): an edit field takes any text unchanged; an option
// group, a check box and the tone boxes take one of their choices, and a text
// that is none of them changes nothing. storedText of an option group with no
// button selected is empty.
class SettingsRecord
{
  public:
    virtual ~SettingsRecord() = default;

    virtual QString storedText(const QString &key) const = 0;
    virtual void setStoredText(const QString &key, const QString &text) = 0;

    // The last text given to a parameter that it did not take (an option
    // value no button stands for), while no text it takes has followed. A
    // record may keep it to say that its source held more than it shows; the
    // main window's controls keep none.
    virtual std::optional<QString> unshownText(const QString &key) const
    {
        Q_UNUSED(key);
        return std::nullopt;
    }

    // Firmware-dependent options: the two tone boxes and the two polarity
    // buttons are enabled or disabled as pairs.
    virtual bool toneOptionsEnabled() const = 0;
    virtual void setToneOptionsEnabled(bool enabled) = 0;
    virtual bool polarityOptionsEnabled() const = 0;
    virtual void setPolarityOptionsEnabled(bool enabled) = 0;

    virtual QString deviceValue(DeviceValue which) const = 0;
    virtual void setDeviceValue(DeviceValue which, const QString &text) = 0;
};
