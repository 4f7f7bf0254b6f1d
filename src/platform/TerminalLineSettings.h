#pragma once

#include <cstdint>

// The port component's 28-byte line-settings record. Its layout and flag bits
// are those the component has always stored (baud rate, byte format, flow
// control, the XON/XOFF characters); the terminal layer turns it into termios.
struct TerminalLineSettings {
    uint32_t DCBlength = sizeof(TerminalLineSettings);
    uint32_t BaudRate = 0;
    uint32_t Flags = 0;
    uint16_t wReserved = 0;
    uint16_t XonLim = 0;
    uint16_t XoffLim = 0;
    uint8_t ByteSize = 0;
    uint8_t Parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    uint8_t StopBits = 0; // 0 one, 1 one and a half, 2 two
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;
    uint16_t wReserved1 = 0;

    bool operator==(const TerminalLineSettings &) const = default;
};
static_assert(sizeof(TerminalLineSettings) == 28, "the record is stored as exactly 28 bytes");

// Bits of TerminalLineSettings::Flags.
namespace LineFlag
{
constexpr uint32_t Binary = 0x1;
constexpr uint32_t ParityCheck = 0x2;
constexpr uint32_t OutxCtsFlow = 0x4;
constexpr uint32_t OutxDsrFlow = 0x8;
constexpr uint32_t DtrControlMask = 0x30;
constexpr uint32_t DtrControlEnable = 0x10;
constexpr uint32_t DtrControlHandshake = 0x20;
constexpr uint32_t DsrSensitivity = 0x40;
constexpr uint32_t TxContinueOnXoff = 0x80;
constexpr uint32_t OutX = 0x100;
constexpr uint32_t InX = 0x200;
constexpr uint32_t ErrorChar = 0x400;
constexpr uint32_t Null = 0x800;
constexpr uint32_t RtsControlMask = 0x3000;
constexpr uint32_t RtsControlEnable = 0x1000;
constexpr uint32_t RtsControlHandshake = 0x2000;
constexpr uint32_t AbortOnError = 0x4000;
} // namespace LineFlag
