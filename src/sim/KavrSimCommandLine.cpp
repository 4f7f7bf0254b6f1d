#include "sim/KavrSimCommandLine.h"

#include "platform/SafeFile.h"
#include "sim/KvrBlockSource.h"

#include <QCommandLineParser>

#include <limits>

namespace
{

struct IntOption {
    const char *name;
    long long min;
    long long max;
};

bool readInt(const QCommandLineParser &p, const IntOption &o, long long &value, QString *error)
{
    if (!p.isSet(QLatin1String(o.name)))
        return true;
    const QString text = p.value(QLatin1String(o.name));
    bool ok = false;
    // Base 0: decimal, or 0x.. for bytes written in hex.
    const long long v = text.trimmed().toLongLong(&ok, 0);
    if (!ok || v < o.min || v > o.max) {
        *error = QStringLiteral("--%1: '%2' is not a whole number from %3 to %4")
                     .arg(QLatin1String(o.name), text)
                     .arg(o.min)
                     .arg(o.max);
        return false;
    }
    value = v;
    return true;
}

} // namespace

bool loadRawBlock(const QString &path, std::array<std::uint8_t, 128> &block, QString *error)
{
    // A named pipe or a device given here must not hold the simulator before
    // it has even set up its line (it would not end on a signal either).
    const SafeFile::Contents file = SafeFile::read(path, qint64(block.size()));
    if (!file.ok() && file.failure != SafeFile::Failure::TooLarge) {
        *error = QStringLiteral("%1: %2").arg(path, file.reason());
        return false;
    }
    if (file.bytes.size() != qsizetype(block.size()) || !file.ok()) {
        *error = QStringLiteral("%1: a raw block must be exactly 128 bytes").arg(path);
        return false;
    }
    std::copy(file.bytes.cbegin(), file.bytes.cend(), block.begin());
    return true;
}

bool KavrSimCommandLine::parse(const QStringList &arguments, QString *error)
{
    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Plays a KAVR communicator on a terminal line: answers \"V\" with the status answer, "
        "\"R\" \"P\" with the configuration block, and takes a written block after \"W\" \"P\".\n"
        "Without --device it makes a pseudo-terminal and prints the path the program should open."));
    auto add = [&p](const char *name, const char *help, const char *valueName = nullptr) {
        if (valueName)
            p.addOption({QLatin1String(name), QLatin1String(help), QLatin1String(valueName)});
        else
            p.addOption({QLatin1String(name), QLatin1String(help)});
    };
    p.addHelpOption();
    add("link", "Publish the pseudo-terminal's path as the symlink <path> (removed on exit).", "path");
    add("device", "Attach to the existing terminal device <path> instead of making a pseudo-terminal.",
        "path");
    add("firmware", "Firmware version byte, 0-255 (default 120, shown as 1.20).", "n");
    add("serial", "Serial number, 0-65535 (default 1001).", "n");
    add("power-on", "Power-on count, 0-255 (default 0, or from the loaded block).", "n");
    add("service-hours", "Hours to the next service call, 0-6143 (default 72, or from the loaded block).",
        "n");
    add("block", "Configuration block from a raw 128-byte file.", "file");
    add("kvr", "Configuration block from a .kvr settings file.", "file");
    add("save-block", "Save each block written to the device to <file> (128 raw bytes).", "file");
    add("trace", "Write every byte both ways with a timestamp in hex to <file>.", "file");
    add("turnaround", "Delay before the first byte of an answer, milliseconds (default 5).", "ms");
    add("handshake-delay", "Answer each \"D\" of a write only <ms> after its byte (default: the turnaround).",
        "ms");
    add("baud", "Line speed for pacing and for --device (default 2400).", "n");
    add("ftdi-latency", "Hand answer bytes over in batches every <ms>, like an FTDI latency timer.", "ms");
    add("abandon-after", "Give up a half-done command after <ms> without input (default 1000).", "ms");
    add("silent", "Fault: never answer.");
    add("cut-after", "Fault: every answer ends after <n> bytes.", "n");
    add("wrong-marker", "Fault: the block sent starts with 0xAA instead of 0x55.");
    add("noise-every", "Fault: a stray byte after every <n>-th answer byte.", "n");
    add("stray-after", "Fault: one stray byte after the <n>-th byte of every answer that long.", "n");
    add("stray-once", "Fault: the stray byte of --stray-after only in the first answer that long.");
    add("noise-seed", "Seed of the stray bytes (default 1).", "n");
    add("no-z", "Fault: store a written block but never answer \"Z\".");
    add("drop-handshake-at", "Fault: give up a write at data byte <k> (1-128): no handshake, nothing stored.",
        "k");
    add("early-z-at", "Fault: answer \"Z\" instead of \"D\" after data byte <k> (1-127), nothing stored.",
        "k");
    add("corrupt-write-at",
        "Fault: store a written block with the byte at block position <k> (1-128) changed; the write is "
        "confirmed all the same.",
        "k");
    add("hang-up-after", "Fault: drop the line once <n> bytes have been sent.", "n");
    add("slow", "Fault: send answers <factor> times slower than the baud rate (e.g. 1.5).", "factor");

    helpText = p.helpText();
    QStringList args = arguments;
    args.prepend(QStringLiteral("kavr-sim"));
    if (!p.parse(args)) {
        *error = p.errorText();
        return false;
    }
    if (p.isSet(QStringLiteral("help"))) {
        helpRequested = true;
        return true;
    }
    if (!p.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument '%1'").arg(p.positionalArguments().first());
        return false;
    }

    linkPath = p.value(QStringLiteral("link"));
    devicePath = p.value(QStringLiteral("device"));
    if (!linkPath.isEmpty() && !devicePath.isEmpty()) {
        *error = QStringLiteral("--link and --device exclude each other");
        return false;
    }
    if (p.isSet(QStringLiteral("block")) && p.isSet(QStringLiteral("kvr"))) {
        *error = QStringLiteral("--block and --kvr exclude each other");
        return false;
    }

    KavrSimOptions &o = options;
    const long long noLimit = std::numeric_limits<int>::max();
    long long firmware = o.state.firmware, serial = o.state.serialNumber, powerOn = -1, hours = -1;
    long long turnaround = o.line.turnaroundMs, baud = o.line.baud, latency = o.line.ftdiLatencyMs;
    long long abandon = o.line.abandonAfterMs, cut = o.faults.cutAfter, noise = o.faults.noiseEvery;
    long long seed = o.faults.noiseSeed, drop = o.faults.dropHandshakeAt, hangUp = o.line.hangUpAfter;
    long long handshake = o.line.handshakeDelayMs, earlyZ = o.faults.earlyZAt;
    long long corrupt = o.faults.corruptWriteAt, stray = o.faults.strayAfter;
    if (!readInt(p, {"firmware", 0, 255}, firmware, error) ||
        !readInt(p, {"serial", 0, 65535}, serial, error) ||
        !readInt(p, {"power-on", 0, 255}, powerOn, error) ||
        !readInt(p, {"service-hours", 0, KavrDeviceState::MaxServiceHours}, hours, error) ||
        !readInt(p, {"turnaround", 0, 60000}, turnaround, error) ||
        !readInt(p, {"handshake-delay", 0, 60000}, handshake, error) ||
        !readInt(p, {"early-z-at", 1, 127}, earlyZ, error) ||
        !readInt(p, {"baud", 50, 4000000}, baud, error) ||
        !readInt(p, {"ftdi-latency", 1, 255}, latency, error) ||
        !readInt(p, {"abandon-after", 1, noLimit}, abandon, error) ||
        !readInt(p, {"cut-after", 0, noLimit}, cut, error) ||
        !readInt(p, {"noise-every", 1, noLimit}, noise, error) ||
        !readInt(p, {"stray-after", 1, noLimit}, stray, error) ||
        !readInt(p, {"noise-seed", 1, 0xFFFFFFFFLL}, seed, error) ||
        !readInt(p, {"drop-handshake-at", 1, 128}, drop, error) ||
        !readInt(p, {"corrupt-write-at", 1, 128}, corrupt, error) ||
        !readInt(p, {"hang-up-after", 0, std::numeric_limits<long long>::max()}, hangUp, error))
        return false;

    if (p.isSet(QStringLiteral("slow"))) {
        bool ok = false;
        const double f = p.value(QStringLiteral("slow")).toDouble(&ok);
        if (!ok || !(f >= 1.0 && f <= 100.0)) {
            *error = QStringLiteral("--slow: '%1' is not a factor from 1 to 100").arg(p.value("slow"));
            return false;
        }
        o.line.slowFactor = f;
    }

    if (p.isSet(QStringLiteral("block"))) {
        if (!loadRawBlock(p.value(QStringLiteral("block")), o.state.block, error))
            return false;
        // A loaded block brings the device's counters with it.
        o.state.serviceHours = o.state.block[45] + 24 * o.state.block[46];
        o.state.powerOnCount = o.state.block[47];
    }
    o.state.firmware = std::uint8_t(firmware);
    o.state.serialNumber = std::uint16_t(serial);
    if (powerOn >= 0)
        o.state.powerOnCount = std::uint8_t(powerOn);
    if (hours >= 0)
        o.state.serviceHours = int(hours);
    // A settings file holds no counters: the block gets the device's own.
    if (p.isSet(QStringLiteral("kvr")) && !loadKvrBlock(p.value(QStringLiteral("kvr")), o.state.powerOnCount,
                                                        o.state.serviceHours, o.state.block, error))
        return false;
    o.line.turnaroundMs = int(turnaround);
    o.line.handshakeDelayMs = int(handshake);
    o.line.baud = int(baud);
    o.line.ftdiLatencyMs = int(latency);
    o.line.abandonAfterMs = int(abandon);
    o.line.hangUpAfter = hangUp;
    o.faults.silent = p.isSet(QStringLiteral("silent"));
    o.faults.cutAfter = int(cut);
    o.faults.wrongMarker = p.isSet(QStringLiteral("wrong-marker"));
    o.faults.noiseEvery = int(noise);
    o.faults.noiseSeed = std::uint32_t(seed);
    o.faults.strayAfter = int(stray);
    o.faults.strayOnce = p.isSet(QStringLiteral("stray-once"));
    o.faults.noZ = p.isSet(QStringLiteral("no-z"));
    o.faults.dropHandshakeAt = int(drop);
    o.faults.earlyZAt = int(earlyZ);
    o.faults.corruptWriteAt = int(corrupt);
    o.traceFile = p.value(QStringLiteral("trace"));
    o.saveBlockFile = p.value(QStringLiteral("save-block"));
    return true;
}
