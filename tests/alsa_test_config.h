#pragma once

// Sound tests point ALSA at a configuration of their own, usually with the
// default output being ALSA's file plugin, so what would reach the speaker
// can be read back.

#include <QFile>
#include <QTemporaryDir>

class AlsaTestConfig
{
  public:
    // Writes text as a new configuration file (a new name each time, so ALSA
    // reads it afresh) and points ALSA at it.
    bool use(const QByteArray &text)
    {
        QFile f(m_dir.filePath(QStringLiteral("alsa%1.conf").arg(++m_configs)));
        if (!f.open(QIODevice::WriteOnly) || f.write(text) != text.size())
            return false;
        qputenv("ALSA_CONFIG_PATH", QFile::encodeName(f.fileName()));
        return true;
    }
    // A default output writing what it gets into file: "raw" samples or a
    // "wav" file.
    static QByteArray fileOutput(const QString &file, const char *format)
    {
        return "pcm.!default { type file slave.pcm { type null } file \"" + QFile::encodeName(file) +
               "\" format \"" + format + "\" }\n";
    }
    // A file in the folder the configurations are kept in.
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    int configs() const { return m_configs; }

  private:
    QTemporaryDir m_dir;
    int m_configs = 0;
};
