#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>

// What the communicator knows about itself: identity, the two counters and
// its 128-byte configuration block (position 1 of the block is index 0).
struct KavrDeviceState {
    std::uint8_t firmware = 120; // shown by the program as "1.20"
    std::uint16_t serialNumber = 1001;
    std::uint8_t powerOnCount = 0;
    int serviceHours = 72; // 0 .. 255 * 24 + 23; sent as hours part and days part
    std::array<std::uint8_t, 128> block{};

    static constexpr int MaxServiceHours = 255 * 24 + 23;
};

// Misbehaviours of the device itself, each on its own switch. The line faults
// (hang-up, slow pacing) belong to the transport runner.
struct KavrDeviceFaults {
    bool silent = false;      // ignores every byte and never answers
    int cutAfter = -1;        // >= 0: every answer ends after this many bytes
    bool wrongMarker = false; // the block it sends starts with wrongMarkerByte instead of 0x55
    std::uint8_t wrongMarkerByte = 0xAA;
    int noiseEvery = 0;          // > 0: one stray byte after every n-th answer byte
    std::uint32_t noiseSeed = 1; // the stray bytes are a fixed pseudo-random sequence
    int strayAfter = 0;          // > 0: one stray byte after the n-th byte of every answer that long
    bool strayOnce = false;      // that stray byte only in the first answer that long
    bool noZ = false;            // stores a written block but never confirms it with "Z"
    int dropHandshakeAt = 0;     // 1..128: gives up the write at this data byte (no "D"/"Z", nothing stored)
    int earlyZAt = 0;            // 1..127: answers "Z" after this data byte instead of "D", nothing stored
    int corruptWriteAt = 0;      // 1..128: a written block is stored with this position's byte changed
};

// The communicator's side of the link protocol as a pure state machine: one
// received byte in, the bytes it answers out. No clock, no I/O, no threads.
//
//  "V"            -> status answer, 10 bytes: "V" firmware "U" power-on "N"
//                    serial-high serial-low "S" hours-part days-part
//  "R" "P"        -> the 128-byte configuration block
//  "W" "P" + 128  -> "D" after each of the first 127 data bytes, "Z" after the
//                    128th; then the new block is held and its positions 46-48
//                    become the counters (hours part, days part, power-on count)
//
// Any other byte is ignored. A "P" that does not follow "R" or "W" is ignored;
// a byte other than "P" after "R" or "W" cancels that command and is taken as
// a fresh command byte.
class KavrDeviceModel
{
  public:
    explicit KavrDeviceModel(const KavrDeviceState &state = initialState(),
                             const KavrDeviceFaults &faults = {});

    // Takes one byte from the line and returns what the device answers.
    QByteArray feed(std::uint8_t byte);

    // True while a command is half done (after "R"/"W" or inside a written
    // block). A real device gives up such a command after a pause on the
    // line; the transport calls abandonCommand() for that.
    bool midCommand() const { return m_phase != Phase::Idle; }
    void abandonCommand();
    // Data bytes of the write in progress received so far (0 outside a write).
    int writeProgress() const { return m_phase == Phase::WriteData ? m_incoming.size() : 0; }
    // The next byte is a data byte of a write.
    bool takingWriteData() const { return m_phase == Phase::WriteData; }

    const KavrDeviceState &state() const { return m_state; }
    const KavrDeviceFaults &faults() const { return m_faults; }

    // The block as a read sends it: the held block with the current counters
    // at positions 46-48 and, with the wrong-marker fault, the wrong marker.
    QByteArray blockForRead() const;
    QByteArray statusAnswer() const;

    // Completed writes since start, and the block the last one delivered
    // (exactly as received, empty before the first write).
    int writesCompleted() const { return m_writes; }
    QByteArray lastWrittenBlock() const { return m_lastWritten; }

    // Default state: a factory-fresh device.
    static KavrDeviceState initialState();
    static std::array<std::uint8_t, 128> factoryBlock();

  private:
    enum class Phase { Idle, AfterR, AfterW, WriteData };

    QByteArray command(std::uint8_t byte);
    QByteArray writeData(std::uint8_t byte);
    QByteArray shape(QByteArray answer);
    std::uint8_t nextNoise();

    KavrDeviceState m_state;
    KavrDeviceFaults m_faults;
    Phase m_phase = Phase::Idle;
    QByteArray m_incoming;
    QByteArray m_lastWritten;
    int m_writes = 0;
    long long m_answerBytes = 0; // counts answer bytes for the noise fault
    bool m_strayed = false;      // the stray byte went into an answer
    std::uint32_t m_noise;
};
