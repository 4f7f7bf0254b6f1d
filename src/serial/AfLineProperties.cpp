#include "serial/AfLineProperties.h"

#include <initializer_list>

namespace
{
constexpr uint32_t kOptionBits[] = {0x2, 0x40, 0x80, 0x400, 0x800};
} // namespace

TAfFlowControl AfFlowControlOf(uint32_t flags)
{
    for (TAfFlowControl f : {fwDtrDsr, fwRtsCts, fwXOnXOff})
        if ((flags & AfFlowBits[f]) == AfFlowBits[f])
            return f;
    return fwNone;
}

TerminalLineSettings AfBuildLineSettings(const TAfLineProperties &line)
{
    TerminalLineSettings d;
    d.BaudRate =
        line.BaudRate == brUser ? static_cast<uint32_t>(line.UserBaudRate) : AfBaudRates[line.BaudRate];
    d.ByteSize = static_cast<uint8_t>(4 + line.Databits);
    d.Parity = static_cast<uint8_t>(line.Parity);
    d.StopBits = static_cast<uint8_t>(line.Stopbits);
    d.XonChar = line.XOnChar;
    d.XoffChar = line.XOffChar;
    d.XonLim = line.XOnLim;
    d.XoffLim = line.XOffLim;
    d.Flags = AfFlowBits[line.FlowControl] | LineFlag::Binary;
    for (int o = coParityCheck; o <= coStripNull; ++o) {
        if (line.Options & AfComOption(static_cast<TAfComOption>(o)))
            d.Flags |= kOptionBits[o];
    }
    if (line.DTR && line.FlowControl != fwDtrDsr)
        d.Flags |= LineFlag::DtrControlEnable;
    if (line.RTS && line.FlowControl != fwRtsCts)
        d.Flags |= LineFlag::RtsControlEnable;
    return d;
}

void AfTakeLineSettings(const TerminalLineSettings &record, TAfLineProperties &line)
{
    line.BaudRate = brUser;
    line.UserBaudRate = static_cast<int>(record.BaudRate);
    for (int b = br110; b < brUser; ++b) {
        if (AfBaudRates[b] == record.BaudRate) {
            line.BaudRate = static_cast<TAfBaudrate>(b);
            line.UserBaudRate = 0;
        }
    }
    line.Databits =
        record.ByteSize >= 4 && record.ByteSize <= 8 ? static_cast<TAfDatabits>(record.ByteSize - 4) : db8;
    line.Parity = record.Parity <= paSpace ? static_cast<TAfParity>(record.Parity) : paNone;
    line.Stopbits = record.StopBits <= sbTwo ? static_cast<TAfStopbits>(record.StopBits) : sbOne;
    line.FlowControl = AfFlowControlOf(record.Flags);
    line.Options = 0;
    for (int o = coParityCheck; o <= coStripNull; ++o) {
        if (record.Flags & kOptionBits[o])
            line.Options |= AfComOption(static_cast<TAfComOption>(o));
    }
    line.XOnChar = record.XonChar;
    line.XOffChar = record.XoffChar;
    line.XOnLim = record.XonLim;
    line.XOffLim = record.XoffLim;
}
