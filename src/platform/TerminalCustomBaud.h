#pragma once

#include <cstdint>

// Sets a baud rate that has no Bnnn constant (termios2). Declared apart
// because the kernel's termios headers clash with the C library's.
bool terminalSetCustomBaudRate(int fd, uint32_t baud);
