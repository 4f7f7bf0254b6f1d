#include "device/SerialTransport.h"

#include "device/ExchangeOptions.h"
#include "serial/AfComPort.h"

SerialTransport::SerialTransport(TAfComPort &port) : m_port(port)
{
    m_port.OnDataRecived = [this](QObject *, int count) {
        if (dataArrived)
            dataArrived(count);
    };
    // A vanished device ends the running exchange at once instead of leaving
    // it to its time limit.
    m_port.OnPortError = [this](QObject *, const std::exception &) {
        if (lineLost)
            lineLost();
    };
}

SerialTransport::~SerialTransport()
{
    m_port.OnDataRecived = nullptr;
    m_port.OnPortError = nullptr;
}

void SerialTransport::setUpPort(TAfComPort &port)
{
    port.setObjectName(QStringLiteral("AfComPort1"));
    port.SetBaudRate(br2400);
    port.SetDTR(false);
    port.SetEventThreadPriority(tpHighest);
    // As after loading its stored properties: the line-settings record is
    // rebuilt from them, so DTR stays off when the port opens (setting DTR
    // on a closed port alone does not change that record).
    port.Loaded();
}

ExchangeTransport::Pacing SerialTransport::pacingFor(const ExchangeOptions &options)
{
    Pacing p;
    p.pollMs = options.serialInterval();
    // 2000 / 10 + 1: the time-out comes at the 202nd tick of 10 ms.
    p.timeoutTicks = 2000 / p.pollMs + 1;
    p.partialBlockStep = 4;
    p.notifies = true;
    p.colourOnWholeAnswer = true;
    p.rereadOnTimeout = true;
    p.handshakePollMs = 0; // the data event announces every "D"
    // A port closed after every exchange drops what waits in it.
    p.keepsLine = !options.closePort();
    return p;
}

ExchangeTransport::Opened SerialTransport::open()
{
    if (m_port.IsOpen() && !m_port.ConnectionLost())
        return Opened::Ready;
    try {
        if (m_port.IsOpen())
            m_port.Close(); // a vanished device: start afresh
        m_port.Open();
    } catch (const std::exception &) {
        return Opened::Failed;
    }
    return Opened::Ready;
}

QByteArray SerialTransport::take()
{
    return m_port.ReadString();
}

bool SerialTransport::send(const QByteArray &bytes)
{
    try {
        m_port.WriteString(bytes);
        return true;
    } catch (const std::exception &) {
        return false; // the ring is full or the port went away
    }
}

int SerialTransport::waiting()
{
    // The data event announces bytes as they come; this counts what waits.
    return m_port.InQueueCount();
}

ExchangeTransport::Health SerialTransport::health()
{
    return m_port.ConnectionLost() ? Health::Lost : Health::Ok;
}

void SerialTransport::finish(bool, const ExchangeOptions &options)
{
    // A vanished device: the next exchange opens the port afresh.
    if (m_port.ConnectionLost() || options.closePort())
        m_port.Close();
}
