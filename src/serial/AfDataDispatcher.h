#pragma once

#include <QObject>

#include <stdexcept>

// Raised by a dispatcher link for a buffer it cannot take. This program
// links no dispatcher, so it is never raised here.
class EAfDispatcherError : public std::runtime_error
{
  public:
    using std::runtime_error::runtime_error;
};

// Base of the serial port components: holds the optional link to a data
// dispatcher (always empty in this program) and declares WriteData.
class TAfDataDispConnComponent : public QObject
{
    Q_OBJECT
  public:
    explicit TAfDataDispConnComponent(QObject *owner = nullptr);
    ~TAfDataDispConnComponent() override;

    virtual void WriteData(const void *buffer, int count) = 0;
    // The base bodies only tell a linked dispatcher that the port opened or
    // closed.
    virtual void Open();
    virtual void Close();

    bool HasDispatcher() const { return m_dispatcher != nullptr; }

  protected:
    void NotifyDispatcher();

  private:
    QObject *m_dispatcher = nullptr;
};
