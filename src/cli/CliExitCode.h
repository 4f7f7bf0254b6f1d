#pragma once

// What tessaro-cli ends with; scripts tell the outcomes apart by these.
enum CliExitCode : int {
    ExitOk = 0,
    ExitDifferences = 1,   // diff, compare: the settings differ
    ExitNothingListed = 1, // fleet: no communicator matches; site: none is set
    ExitUsage = 2,         // unknown command or option, missing argument
    ExitPortNotOpened = 3, // the serial port or the USB cable could not be opened
    ExitNoAnswer = 4,      // no answer, or not a whole one, within the time limit
    ExitWrongMarker = 5,   // the block read does not start with the marker byte
    ExitBadFile = 6,       // a file could not be read, understood or written
    ExitRefused = 7,       // write: values the device cannot take; nothing sent
    ExitMismatch = 8,      // write: the block read back differs from the block sent
    ExitNotShared = 9,     // history sync: the history could not be shared with the remote
};
