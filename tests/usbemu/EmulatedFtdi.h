#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Control of the emulated FTDI converters. The functions live in the test
// stand-in for the USB library (libusb-1.0.so.0 of the build tree), so only a
// process that loaded the stand-in can call them: a test linked against it
// never reaches a real USB bus.
//
// Each converter plays an FT232R: the host's vendor requests set its line and
// are recorded; bytes the host sends leave at the set baud rate and reach the
// far end (the device on the serial line) when their last bit is out; the far
// end's answers come back at the same rate into the chip's receive buffer,
// and the host reads them in 64-byte packets each led by two modem-status
// bytes, a packet going out when it is full or when the latency timer runs
// out (a status-only packet when nothing came).
namespace EmulatedFtdi
{

constexpr std::uint16_t VendorId = 0x0403;
constexpr std::uint16_t Ft232rProductId = 0x6001;
// The two bytes that lead every packet to the host when the line is idle:
// CTS and DSR up; transmitter empty.
constexpr std::uint8_t ModemStatus = 0x31;
constexpr std::uint8_t LineStatusIdle = 0x60;

struct Converter {
    std::string serial = "ZARP-USB";
    bool hasSerial = true; // false: the chip reports no serial-number string
    std::uint16_t productId = Ft232rProductId;
};

// The device on the serial side of a converter. It hears a byte only when the
// converter's line is set as the device's own (2400 8N1 for the communicator);
// otherwise the byte arrives garbled and is lost.
class FarEnd
{
  public:
    virtual ~FarEnd() = default;
    // One byte from the line, with the moment its stop bit ended; returns
    // what the device sends back.
    virtual std::string receive(std::uint8_t byte, std::chrono::steady_clock::time_point at) = 0;
    virtual int baudRate() const { return 2400; }
    // The pause between a byte received and the first byte of its answer.
    virtual int turnaroundMs() const { return 0; }
};

struct ControlRequest {
    std::uint8_t requestType = 0;
    std::uint8_t request = 0;
    std::uint16_t value = 0;
    std::uint16_t index = 0;
    std::uint16_t length = 0;
};

// FTDI vendor requests.
enum Request : std::uint8_t {
    Reset = 0x00,
    ModemControl = 0x01,
    FlowControl = 0x02,
    SetBaudRate = 0x03,
    SetData = 0x04,
    GetModemStatus = 0x05,
    SetLatencyTimer = 0x09,
    GetLatencyTimer = 0x0A,
    SetBitMode = 0x0B,
    ReadPins = 0x0C,
};

struct LineState {
    int baudRate = 9600; // the rate the divisor gives
    int dataBits = 8;
    int parity = 0;   // 0 none, 1 odd, 2 even, 3 mark, 4 space
    int stopBits = 0; // 0 one, 1 one and a half, 2 two
    bool breakOn = false;
    bool dtr = false;
    bool rts = false;
    int latencyMs = 16;
    std::uint8_t bitMask = 0;
    std::uint8_t bitMode = 0;
    std::uint16_t flowControl = 0;
};

struct Counters {
    long packetsToHost = 0;
    long statusOnlyPackets = 0;
    long fullPackets = 0;
    long bytesToHost = 0;   // data bytes, status bytes not counted
    long bytesFromHost = 0; // bulk bytes the host sent
    long garbled = 0;       // bytes lost because the line was not set as the far end's
    long overruns = 0;      // bytes lost because the receive buffer was full
};

// Plugs in a converter; returns its number for the calls below.
int plug(const Converter &converter);
// Unplugged: gone from the bus; every transfer on a handle to it fails with
// the no-device error. Replugging brings it back freshly powered (new handles
// needed, line and latency back to the chip's defaults).
void unplug(int converter);
void replug(int converter);
// Unplugs by itself once it has handed this many data bytes to the host (a
// cable pulled mid-read) or taken this many from it (mid-write); -1: never.
void unplugAfter(int converter, long bytesToHost, long bytesFromHost);
// Held by another program: its interface cannot be claimed.
void setHeld(int converter, bool held);
void setFarEnd(int converter, std::shared_ptr<FarEnd> farEnd);
// A latency timer that ignores the host's setting (0: the host's setting holds).
void fixLatency(int converter, int ms);
// The serial line and the far end's pause before answering run this many
// times faster than the line's settings say, the far end still hearing the
// bytes at its own rate: for tests of what goes over the line, not when.
void speedUpLine(int converter, int factor);

LineState line(int converter);
std::vector<ControlRequest> requests(int converter);
void clearRequests(int converter);
Counters counters(int converter);

// Every converter unplugged and forgotten.
void removeAll();

} // namespace EmulatedFtdi
