#pragma once

#include "EmulatedFtdi.h"

#include <algorithm>
#include <chrono>
#include <deque>
#include <string>
#include <utility>

// One FT232R: its line settings, its buffers and the serial line to the far
// end, in real time. No thread of its own: the state is brought up to date
// whenever the host asks something of the chip.
class EmulatedChip
{
  public:
    using Clock = std::chrono::steady_clock;

    explicit EmulatedChip(const EmulatedFtdi::Converter &converter);

    const EmulatedFtdi::Converter &converter() const { return m_converter; }
    void setFarEnd(std::shared_ptr<EmulatedFtdi::FarEnd> farEnd) { m_far = std::move(farEnd); }
    void fixLatency(int ms) { m_fixedLatencyMs = ms; }
    void speedUpLine(int factor) { m_speedUp = std::max(1, factor); }
    // Back to the state after power-up: default line, empty buffers.
    void powerUp();

    // A vendor request. Returns the bytes answered (IN) or taken (OUT), or a
    // negative value when the chip stalls the request.
    int control(std::uint8_t requestType, std::uint8_t request, std::uint16_t value, std::uint16_t index,
                unsigned char *data, std::uint16_t length);
    // Takes bytes for the line; returns when the last of them is in the
    // transmit buffer (the chip holds 128 bytes not yet sent).
    Clock::time_point send(const unsigned char *data, int size, Clock::time_point now);

    // The next packet to the host, if the chip sends one now: full when 62
    // data bytes are waiting, otherwise when the latency timer has run out.
    // Without one, *wake says when to ask again.
    bool takePacket(Clock::time_point now, std::string *packet, Clock::time_point *wake);

    EmulatedFtdi::LineState line() const;
    const std::vector<EmulatedFtdi::ControlRequest> &requests() const { return m_requests; }
    void clearRequests() { m_requests.clear(); }
    const EmulatedFtdi::Counters &counters() const { return m_counters; }

    static constexpr int PacketSize = 64;
    static constexpr int TransmitBuffer = 128;
    static constexpr int ReceiveBuffer = 256;

  private:
    Clock::duration characterTime() const;
    bool lineMatchesFarEnd() const;
    // Moves every line event up to now: bytes reaching the far end, its answers
    // reaching the receive buffer.
    void advance(Clock::time_point now);
    int latencyMs() const;
    void setBaudDivisor(std::uint16_t value, std::uint16_t index);

    EmulatedFtdi::Converter m_converter;
    std::shared_ptr<EmulatedFtdi::FarEnd> m_far;
    EmulatedFtdi::LineState m_line;
    int m_fixedLatencyMs = 0;
    int m_speedUp = 1;
    std::vector<EmulatedFtdi::ControlRequest> m_requests;
    EmulatedFtdi::Counters m_counters;

    std::deque<std::pair<Clock::time_point, std::uint8_t>> m_toFarEnd;   // by arrival
    std::deque<std::pair<Clock::time_point, std::uint8_t>> m_fromFarEnd; // by arrival
    std::deque<std::uint8_t> m_received;
    Clock::time_point m_transmitFreeAt{};
    Clock::time_point m_answerFreeAt{};
    Clock::time_point m_lastPacketAt{};
    bool m_overrun = false;
};
