#pragma once

#include "sim/KavrDeviceModel.h"

#include <QString>

// How the simulated line behaves in time.
struct KavrLineTiming {
    int baud = 2400;           // 10 bit times a byte in both directions
    double slowFactor = 1.0;   // > 1: the device sends its answers this much slower (fault)
    int turnaroundMs = 5;      // pause between the last command byte and the first answer byte
    int handshakeDelayMs = -1; // >= 0: a write's "D" comes this long after its byte, not after the turnaround
    int ftdiLatencyMs = 0;     // > 0: answer bytes reach the host in batches, like an FTDI latency timer
    int abandonAfterMs = 1000; // a half-done command is given up after this long without input
    long long hangUpAfter = -1; // >= 0: the device drops the line once it has sent this many bytes (fault)
};

struct KavrSimOptions {
    KavrDeviceState state = KavrDeviceModel::initialState();
    KavrDeviceFaults faults;
    KavrLineTiming line;
    QString traceFile;     // non-empty: every byte both ways, timestamped, in hex
    QString saveBlockFile; // non-empty: each written block is saved here (128 raw bytes)
};
