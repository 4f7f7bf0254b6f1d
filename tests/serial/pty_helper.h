#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QTemporaryDir>

// A pseudo-terminal pair whose master side the test plays: the "far side"
// of a serial line. The slave path is what the port opens.
class PtyPair
{
  public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool ok() const { return m_master >= 0; }
    int master() const { return m_master; }
    QString slavePath() const { return m_slavePath; }

    bool write(const QByteArray &bytes);
    // Reads from the master until `count` bytes came or timeoutMs passed,
    // keeping the Qt event loop running meanwhile.
    QByteArray read(int count, int timeoutMs);
    void closeMaster();

  private:
    int m_master = -1;
    QString m_slavePath;
};

// A temporary program folder with a Config.ini whose [Ports] point wherever
// the test wants; it is the current directory while the object lives.
class PortsFolder
{
  public:
    PortsFolder();
    ~PortsFolder();
    bool ok() const { return m_dir.isValid(); }
    QString path() const { return m_dir.path(); }
    bool setPort(int number, const QString &devicePath);
    // A fresh Config.ini naming these ports, written at once (setPort syncs
    // each key to the disk, as the program's own writer does).
    bool setPorts(const QMap<int, QString> &devicePaths);

  private:
    QTemporaryDir m_dir;
    QString m_previous;
};

// Descriptors open in this process right now.
int openDescriptorCount();
// All 256 byte values in order.
QByteArray allByteValues();
