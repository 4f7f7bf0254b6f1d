#pragma once

#include <QByteArray>

#include <functional>

struct ExchangeOptions;

// The way to the communicator for one exchange: the serial port component or
// the USB cable. The exchange service runs the same protocol over either; a
// transport says how it is paced and how its link is taken and let go.
class ExchangeTransport
{
  public:
    virtual ~ExchangeTransport() = default;

    struct Pacing {
        int pollMs = 10;                 // the poll timer's interval
        int timeoutTicks = 201;          // the exchange times out at the tick after this many
        int partialBlockStep = 4;        // progress added by each part of a block that is not yet whole
        bool notifies = true;            // received data is announced (dataArrived) rather than polled
        bool colourOnWholeAnswer = true; // the indicator turns blue/sky blue on a whole answer too
        bool rereadOnTimeout = true;     // a time-out reads once more, so the message shows all that came
        int handshakePollMs = 0;         // > 0: a write looks for its "D" this often between ticks
        // An answer counts only when no byte follows its last one for this
        // long: a stray byte on the line would otherwise shift it and push
        // its last real byte out unseen. One byte time (4.2 ms at 2400 baud)
        // and a little for the way the bytes reach us.
        int quietMs = 7;
        // The line stays open from one exchange to the next, and what came
        // between them is still there for the next one to take.
        bool keepsLine = true;
    };
    virtual Pacing pacing(const ExchangeOptions &options) const = 0;

    // Makes the link ready when an exchange starts.
    enum class Opened {
        Ready,       // the command may go
        Failed,      // the port cannot be opened: the exchange reports it (message 39)
        Unavailable, // the cable is not there: the exchange ends quietly at its first tick
    };
    virtual Opened open() = 0;
    // Every byte waiting, in arrival order.
    virtual QByteArray take() = 0;
    // False when the bytes did not go out.
    virtual bool send(const QByteArray &bytes) = 0;
    // Bytes waiting.
    virtual int waiting() = 0;

    // Whether the link still holds at a poll tick.
    enum class Health {
        Ok,
        Lost, // the device vanished: the exchange fails as on a time-out
        Gone, // nothing left to talk to: the exchange ends quietly
    };
    virtual Health health() = 0;

    // The exchange is over: let the link go as this transport needs (closing
    // the port when asked to, releasing a cable after a failure).
    virtual void finish(bool failed, const ExchangeOptions &options) = 0;

    // Set by the service: announced arrivals (count of bytes waiting) and a
    // device that vanished under an open link.
    std::function<void(int count)> dataArrived;
    std::function<void()> lineLost;
};
