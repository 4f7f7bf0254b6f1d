#include "device/ExchangeRunner.h"

#include "device/ExchangeEngine.h"

#include <QEventLoop>
#include <QTimer>

ExchangeRunner::ExchangeRunner(ExchangeEngine &engine, QObject *parent) : QObject(parent), m_engine(engine)
{
    connect(&m_engine, &ExchangeEngine::messageRequested, this, [this](const QString &text) {
        if (m_onMessage)
            m_onMessage(text);
    });
}

void ExchangeRunner::run()
{
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, &m_engine, &ExchangeEngine::pollTick);
    const auto t =
        connect(&m_engine, &ExchangeEngine::pollTimerChanged, &timer, [&timer](bool on, int interval) {
            if (on)
                timer.start(interval);
            else
                timer.stop();
        });
    const auto f = connect(&m_engine, &ExchangeEngine::finished, &loop, &QEventLoop::quit);
    m_engine.begin();
    if (m_engine.running())
        loop.exec();
    disconnect(t);
    disconnect(f);
}
