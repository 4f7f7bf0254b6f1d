#pragma once

#include <QObject>
#include <QString>

#include <functional>

class ExchangeEngine;

// Runs exchanges to their end without a window: the engine's poll timer and
// a local event loop, as the communication dialog would. Tools, benchmarks
// and tests use it; messages go to the given handler (nothing shown when
// none is set).
class ExchangeRunner : public QObject
{
    Q_OBJECT
  public:
    explicit ExchangeRunner(ExchangeEngine &engine, QObject *parent = nullptr);

    void setMessageHandler(std::function<void(const QString &)> handler) { m_onMessage = std::move(handler); }

    // begin() and wait until the engine finishes.
    void run();

  private:
    ExchangeEngine &m_engine;
    std::function<void(const QString &)> m_onMessage;
};
