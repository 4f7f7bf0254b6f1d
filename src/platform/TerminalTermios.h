#pragma once

#include "platform/TerminalLineSettings.h"

#include <cstdint>
#include <termios.h>

// A line-settings record in termios terms and back: pure translation, no
// device touched.
namespace TerminalTermios
{

// The termios a record asks for, on top of `t` (raw, no flow control unless
// asked, reads that return at once). False for what termios cannot express.
// A rate without a Bnnn constant leaves the speed alone and sets *customBaud
// to it.
bool build(const TerminalLineSettings &settings, termios &t, uint32_t *customBaud);

// The record a terminal's termios stands for; modemBits are its TIOCM_*
// bits, -1 where it has no modem lines (DTR and RTS are then left off).
TerminalLineSettings settings(const termios &t, int modemBits);

} // namespace TerminalTermios
