#pragma once

#include <QByteArray>
#include <QString>

#include <array>

// The command an exchange has sent, as ExchangeCommand names it.
enum class ExchangeStep { None, Version, Read, Write };

// The state of one exchange with the communicator. The exchange service owns
// it and is the only one that sets it; the window, the tool and the trace
// read it.
struct ExchangeState {
    ExchangeStep Step = ExchangeStep::None;
    QString ExchangeCommand; // "VER" version query, "PC" read, "PZ" write; empty between exchanges
    void setStep(ExchangeStep step)
    {
        static const char *const names[] = {"", "VER", "PC", "PZ"};
        Step = step;
        ExchangeCommand = QString::fromLatin1(names[int(step)]);
    }
    int ExpectedLength = 0;  // bytes of a whole answer: 10 (version), 128 (read; the write too)
    int IdleTicks = 0;       // poll ticks since the start or, in a write, the last handshake
    bool ExchangeActive = false;
    bool ReadyForByte = false; // write: the next byte may go
    int WriteIndex = 0;        // write: bytes handled, 0 before the marker
    // The abort mark: the last exchange ended by a time-out or a failed
    // transfer (a port that cannot be opened does not set it).
    bool ExchangeAborted = false;
    // The version query belongs to a write: the counters it brings are kept
    // aside (DevicePowerOnCount, DeviceServiceHours) instead of being shown.
    bool WriteVersionQuery = false;
    // The first exchange after start-up shows no time-out message.
    bool QuietFirstExchange = false;
    bool PortOpenFailed = false;
    QByteArray ReceivedData; // the bytes of the last answer
    QString DevicePowerOnCount;
    QString DeviceServiceHours;
    // Entry k (1..127) goes to position k + 1 of the configuration block.
    std::array<int, 128> WriteBuffer{};
};
