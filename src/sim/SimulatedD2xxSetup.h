#pragma once

#include "sim/KavrSimOptions.h"
#include "sim/SimulatedD2xx.h"

#include <QString>

#include <memory>

// Makes the program's USB cable a simulated one with the communicator
// simulator at its far end, for tests and for demonstrations without the
// hardware. Call before anything opens the cable.
namespace SimulatedUsb
{

// "1" asks the program to use the simulated cable instead of a real one.
inline constexpr char EnvironmentVariable[] = "TESSARO_USB_SIMULATOR";

// Starts a simulated communicator on an in-process cable and installs that
// cable as the D2XX backend. Returns it (it owns the running simulator), or
// null with *error set when the simulator could not start.
std::shared_ptr<SimulatedD2xx> install(const KavrSimOptions &options = {}, QString *error = nullptr);

// install() with a factory-fresh communicator whose answers arrive in 2 ms
// batches like a real converter's, when TESSARO_USB_SIMULATOR is "1". True when
// the simulated cable is now in place.
bool installIfRequested();

} // namespace SimulatedUsb
