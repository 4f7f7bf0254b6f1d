#pragma once

#include "sim/SimLine.h"

#include <QString>

#include <memory>

// The device end of a terminal line: either the master side of a
// pseudo-terminal made here (the host opens slavePath()), or a terminal device
// opened by path. Both are put in raw mode so no byte is translated.
class PtyLine : public SimLine
{
  public:
    // A fresh pseudo-terminal. The simulator keeps one handle on the slave
    // side itself, so the host may open and close it as often as it likes.
    static std::unique_ptr<PtyLine> create(QString *error = nullptr);
    // An existing terminal device, set to raw 8N1 at the given baud rate.
    static std::unique_ptr<PtyLine> attach(const QString &path, int baud, QString *error = nullptr);

    ~PtyLine() override;
    PtyLine(const PtyLine &) = delete;
    PtyLine &operator=(const PtyLine &) = delete;

    // The path the host opens: the pseudo-terminal's slave, or the device.
    QString path() const { return m_path; }

    Wait waitForInput(Clock::time_point deadline, QByteArray &in) override;
    bool deliver(const QByteArray &bytes) override;
    void hangUp() override;
    void interrupt() override;

  private:
    PtyLine() = default;
    bool makeWakePipe(QString *error);

    int m_fd = -1;        // master, or the attached device
    int m_heldSlave = -1; // pseudo-terminal only
    int m_wake[2] = {-1, -1};
    QString m_path;
};
