#include "device/ComPortLink.h"

#include "serial/AfComPort.h"

ComPortLink::ComPortLink(TAfComPort &port, ExchangeEngine &engine) : m_port(port), m_engine(engine)
{
    m_port.OnDataRecived = [this](QObject *, int count) { m_engine.serialDataReceived(count); };
    // A vanished device ends the running exchange at once instead of
    // leaving it to its time limit.
    m_port.OnPortError = [this](QObject *, const std::exception &) { m_engine.serialLost(); };
    m_engine.setSerialPort(this);
}

void ComPortLink::setUpPort(TAfComPort &port)
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

ComPortLink::~ComPortLink()
{
    m_port.OnDataRecived = nullptr;
    m_port.OnPortError = nullptr;
    if (m_engine.serialPort() == this)
        m_engine.setSerialPort(nullptr);
}

bool ComPortLink::isOpen() const
{
    return m_port.IsOpen();
}

void ComPortLink::open()
{
    m_port.Open();
}

QByteArray ComPortLink::readString()
{
    return m_port.ReadString();
}

bool ComPortLink::writeString(const QByteArray &bytes)
{
    try {
        m_port.WriteString(bytes);
        return true;
    } catch (const std::exception &) {
        return false; // the ring is full or the port went away
    }
}

void ComPortLink::close()
{
    m_port.Close();
}

bool ComPortLink::lost() const
{
    return m_port.ConnectionLost();
}
