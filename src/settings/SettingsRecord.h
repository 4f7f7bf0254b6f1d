#pragma once

#include "settings/ParameterTable.h"

#include <QString>

// The record interface: what the settings file, the device codec and the
// printout see of the parameter set. The main window implements it directly
// over its controls (so the controls stay the one copy of the values);
// MemoryRecord serves tests and command-line tools.
//
// Semantics of setStoredText, by kind:
//  - Edit: the text is taken unchanged, whatever it is;
//  - Options: the button whose stored text equals the value is selected; a
//    value that matches no button changes nothing;
//  - Check: "1" checks, "0" unchecks, anything else changes nothing;
//  - Tone: "0".."3" sets the two boxes (bit 0 the first, bit 1 the second),
//    anything else changes nothing.
// storedText of an option group with no button selected is empty.
class SettingsRecord
{
  public:
    virtual ~SettingsRecord() = default;

    virtual QString storedText(const QString &key) const = 0;
    virtual void setStoredText(const QString &key, const QString &text) = 0;

    // Firmware-dependent options: the two tone boxes and the two polarity
    // buttons are enabled or disabled as pairs.
    virtual bool toneOptionsEnabled() const = 0;
    virtual void setToneOptionsEnabled(bool enabled) = 0;
    virtual bool polarityOptionsEnabled() const = 0;
    virtual void setPolarityOptionsEnabled(bool enabled) = 0;

    virtual QString deviceValue(DeviceValue which) const = 0;
    virtual void setDeviceValue(DeviceValue which, const QString &text) = 0;
};
