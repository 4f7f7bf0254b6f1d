#include "EmulatedChip.h"

#include <algorithm>

using namespace EmulatedFtdi;

EmulatedChip::EmulatedChip(const Converter &converter) : m_converter(converter)
{
    powerUp();
}

void EmulatedChip::powerUp()
{
    m_line = LineState();
    m_toFarEnd.clear();
    m_fromFarEnd.clear();
    m_received.clear();
    m_transmitFreeAt = m_answerFreeAt = m_lastPacketAt = Clock::now();
    m_overrun = false;
}

LineState EmulatedChip::line() const
{
    LineState l = m_line;
    l.latencyMs = latencyMs();
    return l;
}

int EmulatedChip::latencyMs() const
{
    return m_fixedLatencyMs > 0 ? m_fixedLatencyMs : m_line.latencyMs;
}

EmulatedChip::Clock::duration EmulatedChip::characterTime() const
{
    // Start bit, data bits, parity bit, stop bits; stop code 1 is one and a half.
    const double halfBits =
        2.0 * (1 + m_line.dataBits + (m_line.parity ? 1 : 0)) + (m_line.stopBits == 0   ? 2
                                                                 : m_line.stopBits == 1 ? 3
                                                                                        : 4);
    const double seconds = halfBits / 2.0 / std::max(1, m_line.baudRate) / m_speedUp;
    return std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(seconds));
}

bool EmulatedChip::lineMatchesFarEnd() const
{
    if (!m_far)
        return false;
    // The chip's rate may be off by a few per cent and still be understood.
    const double ratio = double(m_line.baudRate) / m_far->baudRate();
    return ratio > 0.97 && ratio < 1.03 && m_line.dataBits == 8 && m_line.parity == 0 &&
           m_line.stopBits == 0 && !m_line.breakOn && m_line.bitMode == 0;
}

void EmulatedChip::setBaudDivisor(std::uint16_t value, std::uint16_t index)
{
    // 3 MHz over an integer part (14 bits) and an eighths fraction coded in
    // three bits, the third of them in the index.
    static const double fractions[8] = {0, 0.5, 0.25, 0.125, 0.375, 0.625, 0.75, 0.875};
    const int integer = value & 0x3FFF;
    const int code = (value >> 14) | ((index & 1) << 2);
    double divisor = integer + fractions[code];
    if (integer == 0 && code == 0)
        divisor = 1; // 3 Mbaud
    else if (integer == 1 && code == 0)
        divisor = 1.5; // 2 Mbaud
    m_line.baudRate = int(3000000.0 / divisor + 0.5);
}

int EmulatedChip::control(std::uint8_t requestType, std::uint8_t request, std::uint16_t value,
                          std::uint16_t index, unsigned char *data, std::uint16_t length)
{
    m_requests.push_back({requestType, request, value, index, length});
    const bool vendorOut = requestType == 0x40;
    const bool vendorIn = requestType == 0xC0;
    if (vendorOut) {
        switch (request) {
        case Reset:
            if (value == 0 || value == 1) {
                m_received.clear();
                m_fromFarEnd.clear();
            }
            if (value == 0 || value == 2) {
                // What is still in the transmit buffer is dropped.
                const auto now = Clock::now();
                while (!m_toFarEnd.empty() && m_toFarEnd.back().first > now + characterTime())
                    m_toFarEnd.pop_back();
                m_transmitFreeAt = std::max(now, m_toFarEnd.empty() ? now : m_toFarEnd.back().first);
            }
            return 0;
        case ModemControl:
            if (value & 0x0100)
                m_line.dtr = value & 1;
            if (value & 0x0200)
                m_line.rts = value & 2;
            return 0;
        case FlowControl:
            m_line.flowControl = index & 0xFF00;
            return 0;
        case SetBaudRate:
            setBaudDivisor(value, index);
            return 0;
        case SetData:
            m_line.dataBits = value & 0xFF;
            m_line.parity = (value >> 8) & 7;
            m_line.stopBits = (value >> 11) & 3;
            m_line.breakOn = value & 0x4000;
            return 0;
        case SetLatencyTimer:
            if ((value & 0xFF) == 0)
                return -1;
            m_line.latencyMs = value & 0xFF;
            return 0;
        case SetBitMode:
            m_line.bitMask = value & 0xFF;
            m_line.bitMode = value >> 8;
            return 0;
        default:
            return -1;
        }
    }
    if (vendorIn) {
        switch (request) {
        case GetModemStatus:
            if (length < 2)
                return -1;
            data[0] = ModemStatus;
            data[1] = LineStatusIdle;
            return 2;
        case GetLatencyTimer:
            if (length < 1)
                return -1;
            data[0] = std::uint8_t(latencyMs());
            return 1;
        case ReadPins:
            if (length < 1)
                return -1;
            data[0] = 0xFF;
            return 1;
        default:
            return -1;
        }
    }
    return -1;
}

EmulatedChip::Clock::time_point EmulatedChip::send(const unsigned char *data, int size, Clock::time_point now)
{
    advance(now);
    const auto character = characterTime();
    const bool heard = lineMatchesFarEnd();
    for (int i = 0; i < size; ++i) {
        const auto start = std::max(now, m_transmitFreeAt);
        m_transmitFreeAt = start + character;
        if (heard)
            m_toFarEnd.emplace_back(m_transmitFreeAt, data[i]);
        else
            ++m_counters.garbled;
    }
    m_counters.bytesFromHost += size;
    return std::max(now, m_transmitFreeAt - TransmitBuffer * character);
}

void EmulatedChip::advance(Clock::time_point now)
{
    const auto character = characterTime();
    for (;;) {
        const bool toFar = !m_toFarEnd.empty() && m_toFarEnd.front().first <= now;
        const bool fromFar = !m_fromFarEnd.empty() && m_fromFarEnd.front().first <= now;
        if (!toFar && !fromFar)
            return;
        if (toFar && (!fromFar || m_toFarEnd.front().first <= m_fromFarEnd.front().first)) {
            const auto [at, byte] = m_toFarEnd.front();
            m_toFarEnd.pop_front();
            const std::string answer = m_far ? m_far->receive(byte, at) : std::string();
            const auto ready = at + std::chrono::milliseconds(m_far ? m_far->turnaroundMs() : 0) / m_speedUp;
            for (const char c : answer) {
                const auto start = std::max(ready, m_answerFreeAt);
                m_answerFreeAt = start + character;
                m_fromFarEnd.emplace_back(m_answerFreeAt, std::uint8_t(c));
            }
        } else {
            const std::uint8_t byte = m_fromFarEnd.front().second;
            m_fromFarEnd.pop_front();
            if (int(m_received.size()) < ReceiveBuffer) {
                m_received.push_back(byte);
            } else {
                ++m_counters.overruns;
                m_overrun = true;
            }
        }
    }
}

bool EmulatedChip::takePacket(Clock::time_point now, std::string *packet, Clock::time_point *wake)
{
    advance(now);
    constexpr int room = PacketSize - 2;
    const auto latency = std::chrono::milliseconds(latencyMs());
    if (int(m_received.size()) < room && now < m_lastPacketAt + latency) {
        *wake = m_lastPacketAt + latency;
        if (!m_toFarEnd.empty())
            *wake = std::min(*wake, m_toFarEnd.front().first);
        if (!m_fromFarEnd.empty())
            *wake = std::min(*wake, m_fromFarEnd.front().first);
        return false;
    }
    const bool transmitting = m_transmitFreeAt > now;
    packet->clear();
    packet->push_back(char(ModemStatus));
    packet->push_back(char((transmitting ? 0x00 : LineStatusIdle) | (m_overrun ? 0x02 : 0x00)));
    m_overrun = false;
    const int n = std::min<int>(room, int(m_received.size()));
    for (int i = 0; i < n; ++i) {
        packet->push_back(char(m_received.front()));
        m_received.pop_front();
    }
    m_lastPacketAt = now;
    ++m_counters.packetsToHost;
    if (n == 0)
        ++m_counters.statusOnlyPackets;
    if (n == room)
        ++m_counters.fullPackets;
    m_counters.bytesToHost += n;
    return true;
}
