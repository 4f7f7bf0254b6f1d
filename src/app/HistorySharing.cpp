#include "app/HistorySharing.h"

#include "history/DeviceHistory.h"
#include "lang/LanguageTexts.h"
#include "platform/ProgramConfig.h"

#include <QDeadlineTimer>
#include <QThread>

// What the share's thread is given and leaves behind; the thread holds it
// too, so a thread given up on at the close never writes into freed memory.
struct HistorySharing::Run {
    QString folder;
    DeviceHistory::Options options;
    std::atomic<bool> callOff{false};
    State outcome;
};

HistorySharing::HistorySharing(QObject *parent) : QObject(parent)
{
}

HistorySharing::~HistorySharing()
{
    stop();
}

void HistorySharing::request(const QString &programFolder)
{
    if (m_stopped)
        return;
    m_folder = programFolder;
    if (m_thread) {
        m_again = true;
        return;
    }
    start();
}

void HistorySharing::start()
{
    const ProgramConfig::Values config = ProgramConfig::read(ProgramConfig::path(m_folder));
    if (config.remote.isEmpty() || config.history == 0) {
        m_state = State();
        emit stateChanged();
        return;
    }
    m_run = std::make_shared<Run>();
    m_run->folder = m_folder;
    m_run->options = {config.technician, config.mail, config.remote};
    m_thread = QThread::create([run = m_run] {
        DeviceHistory history(run->folder, run->options);
        const Result<void> shared = history.share(&run->callOff);
        if (run->callOff)
            return;
        run->outcome.remoteSet = true;
        run->outcome.unshared = history.shareStatus().unshared;
        run->outcome.lastFailure = shared ? QString() : shared.failure().text();
    });
    connect(m_thread, &QThread::finished, this, &HistorySharing::finished);
    m_thread->start();
}

void HistorySharing::finished()
{
    if (!m_thread)
        return;
    m_thread->deleteLater();
    m_thread = nullptr;
    m_state = m_run->outcome;
    m_run.reset();
    emit stateChanged();
    if (m_again && !m_stopped) {
        m_again = false;
        start();
    }
}

void HistorySharing::stop()
{
    m_stopped = true;
    m_again = false;
    if (!m_thread)
        return;
    m_run->callOff = true;
    // The share gives up within half a second once called off; a thread
    // that still has not ended is left to the process's end rather than
    // destroyed while it runs.
    if (!m_thread->wait(QDeadlineTimer(DeviceHistory::ShareTimeoutMs + 1000))) {
        disconnect(m_thread, nullptr, this, nullptr);
        m_thread->setParent(nullptr);
        connect(m_thread, &QThread::finished, m_thread, &QObject::deleteLater);
        m_thread = nullptr;
        m_run.reset();
        return;
    }
    delete m_thread;
    m_thread = nullptr;
    m_run.reset();
}

QString HistorySharing::text() const
{
    if (!m_state.remoteSet || m_state.unshared == 0)
        return QString();
    const QString count = QString::number(m_state.unshared);
    if (m_state.lastFailure.isEmpty())
        return LanguageTexts::text(Text::NotShared).arg(count);
    return LanguageTexts::text(Text::NotSharedBecause).arg(count, m_state.lastFailure);
}
