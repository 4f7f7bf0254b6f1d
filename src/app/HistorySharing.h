#pragma once

#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

class QThread;

// The window's sharing of the history with [History] Remote of Config.ini:
// at start and after each kept entry, in the background, one share at a
// time. A request while one runs asks for one more run after it, however
// many come. A remote that cannot be reached or hangs never holds up the
// window: the share gives up on its own within the cut-off, and what is not
// shared yet, and why, is told by the state.
class HistorySharing : public QObject
{
    Q_OBJECT

  public:
    explicit HistorySharing(QObject *parent = nullptr);
    // Calls a running share off and waits for it (stop()).
    ~HistorySharing() override;

    // Shares the history of programFolder, as its Config.ini says at this
    // moment; nothing when it names no remote or keeps no history.
    void request(const QString &programFolder);

    struct State {
        bool remoteSet = false; // Config.ini names a remote and keeps a history
        int unshared = 0;       // entries the remote does not hold yet
        QString lastFailure;    // why the last try failed; empty after one that succeeded
    };
    const State &state() const { return m_state; }
    bool running() const { return m_thread != nullptr; }
    // The words the status bar and the history window show: empty when no
    // remote is set or the remote holds every entry.
    QString text() const;

    // Calls a running share off and waits for its thread to end; no share
    // starts after it.
    void stop();

  signals:
    // A share ended: state() tells what it left.
    void stateChanged();

  private:
    struct Run;
    void start();
    void finished();

    QString m_folder;
    State m_state;
    QThread *m_thread = nullptr;
    std::shared_ptr<Run> m_run;
    bool m_again = false;
    bool m_stopped = false;
};
