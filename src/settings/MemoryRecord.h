#pragma once

#include "settings/SettingsRecord.h"

#include <QHash>

// A plain in-memory record under the same record rule as the main window's
// controls; starts with every parameter at its default. A text a parameter
// does not take is kept beside it (unshownText), so a tool can tell that a
// file held a value the window would not show.
class MemoryRecord : public SettingsRecord
{
  public:
    MemoryRecord();

    QString storedText(const QString &key) const override;
    void setStoredText(const QString &key, const QString &text) override;
    std::optional<QString> unshownText(const QString &key) const override;

    bool toneOptionsEnabled() const override { return m_toneEnabled; }
    void setToneOptionsEnabled(bool enabled) override { m_toneEnabled = enabled; }
    bool polarityOptionsEnabled() const override { return m_polarityEnabled; }
    void setPolarityOptionsEnabled(bool enabled) override { m_polarityEnabled = enabled; }

    QString deviceValue(DeviceValue which) const override;
    void setDeviceValue(DeviceValue which, const QString &text) override;

  private:
    QHash<QString, QString> m_values;
    QHash<QString, QString> m_unshown;
    QHash<int, QString> m_device;
    bool m_toneEnabled = true;
    bool m_polarityEnabled = false;
};
