#pragma once

#include "platform/TerminalLineSettings.h"

#include <cstdint>

// Property types. Their names and order are part of the component's stored
// form.
enum TAfBaudrate {
    br110,
    br300,
    br600,
    br1200,
    br2400,
    br4800,
    br9600,
    br14400,
    br19200,
    br38400,
    br56000,
    br57600,
    br115200,
    br128000,
    br256000,
    brUser,
};
enum TAfDatabits { db4, db5, db6, db7, db8 };
enum TAfParity { paNone, paOdd, paEven, paMark, paSpace };
enum TAfStopbits { sbOne, sbOneAndHalf, sbTwo };
enum TAfFlowControl { fwNone, fwXOnXOff, fwRtsCts, fwDtrDsr };
enum TAfComOption { coParityCheck, coDsrSensitivity, coIgnoreXOff, coErrorChar, coStripNull };
// A set of TAfComOption: bit n stands for option n.
using TAfComOptions = uint8_t;
constexpr TAfComOptions AfComOption(TAfComOption option)
{
    return static_cast<TAfComOptions>(1u << option);
}

// The baud rates of TAfBaudrate, brUser aside.
inline constexpr uint32_t AfBaudRates[] = {110,   300,   600,   1200,  2400,   4800,   9600,  14400,
                                           19200, 38400, 56000, 57600, 115200, 128000, 256000};
// Each flow control as the line-settings record's flag bits, by TAfFlowControl.
inline constexpr uint32_t AfFlowBits[] = {0x0, 0x300, 0x2004, 0x28};
inline constexpr uint32_t AfAllFlowBits = 0x300 | 0x2004 | 0x28;
// The strongest flow control whose bits are all set in the record's flags.
TAfFlowControl AfFlowControlOf(uint32_t flags);

// The serial port's line properties, which its line-settings record is built
// from.
struct TAfLineProperties {
    TAfBaudrate BaudRate = br115200;
    int UserBaudRate = 0;
    TAfDatabits Databits = db8;
    TAfParity Parity = paNone;
    TAfStopbits Stopbits = sbOne;
    TAfFlowControl FlowControl = fwNone;
    TAfComOptions Options = 0;
    bool DTR = true;
    bool RTS = true;
    char XOnChar = 17;
    char XOffChar = 19;
    uint16_t XOnLim = 0;
    uint16_t XOffLim = 0;
};

// The record for the properties: DTR and RTS held by the driver unless the
// flow control hands that line to the handshake.
TerminalLineSettings AfBuildLineSettings(const TAfLineProperties &line);
// Takes a record back onto the properties, DTR and RTS aside (baud rate by
// table, else brUser; unknown formats fall back to 8N1; the strongest flow
// control whose bits are all set).
void AfTakeLineSettings(const TerminalLineSettings &record, TAfLineProperties &line);
