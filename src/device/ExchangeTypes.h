#pragma once

// How an exchange or a command ended.
enum class ExchangeResult {
    Done,
    NoAnswer,    // nothing, or not a whole answer, within the time limit
    CutShort,    // the answer broke off or went wrong part-way (a write's early "Z")
    Overlong,    // more bytes came than the answer has (a stray byte on the line)
    WrongMarker, // the block read does not start with the marker (decoded all the same)
    Aborted,     // a transfer failed or the device vanished
    NotOpenable, // the serial port or the USB cable could not be opened
    Refused,     // a write's values the communicator cannot take; nothing sent
    Cancelled,   // a question was answered No or closed (counters, backup, changes); nothing sent
    Unverified,  // a verified write went out whole, but its read-back failed
    Mismatch,    // a verified write's read-back differs from the block sent
};

// The exchanges with the communicator. The version query of a write keeps
// the counters it brings aside instead of showing them.
enum class ExchangeKind { Version, WriteVersion, Read, Write };

// What the communication dialog's activity indicator shows.
enum class ExchangeIndicator {
    StatusAnswer, // part of the status answer came
    Block,        // part of the configuration block came
    Stored,       // the communicator confirmed a written block ("Z")
    Sending,      // a byte of the block went out
    Failed,       // the exchange failed
};

// What an exchange asks the user to read before it goes on.
enum class ExchangeNotice {
    CommunicationError, // no whole answer: shown with the bytes that came
    NoCable,            // a command found the cable missing
    PortNotOpened,      // the serial port cannot be opened
    WrongMarker,        // the block read does not start with the marker
};
