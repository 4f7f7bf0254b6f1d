#pragma once

#include <QSet>

// A share that hangs in a network read (a server that accepts and never
// answers) cannot be called off through libgit2: the sockets opened since the
// watchdog was made are shut down instead, which ends every blocked read.
class ShareWatchdog
{
  public:
    ShareWatchdog();
    // Shuts down the sockets opened since construction.
    void fire() const;

  private:
    static QSet<quint64> sockets(QList<int> *fds);
    QSet<quint64> m_before;
};
