#pragma once

#include "EmulatedFtdi.h"
#include "sim/KavrDeviceModel.h"

#include <memory>

// The communicator simulator's device model at the far end of an emulated
// converter's serial line.
class ModelFarEnd : public EmulatedFtdi::FarEnd
{
  public:
    explicit ModelFarEnd(const KavrDeviceState &state) : model(state) {}
    std::string receive(std::uint8_t byte, std::chrono::steady_clock::time_point at) override;
    // As the simulator on a terminal line: a short pause before answering,
    // and a half-done command given up after a second without input.
    int turnaroundMs() const override { return 5; }
    static constexpr int AbandonAfterMs = 1000;
    // The line has been quiet for span more than it has, as the
    // communicator's clock tells (only while no byte is under way).
    void quietFor(std::chrono::milliseconds span) { m_last -= span; }

    KavrDeviceModel model;

  private:
    std::chrono::steady_clock::time_point m_last{};
};

// Converters plugged for one test and gone at its end.
struct EmulatedBus {
    EmulatedBus() = default;
    ~EmulatedBus() { EmulatedFtdi::removeAll(); }
    Q_DISABLE_COPY(EmulatedBus)

    // A converter "ZARP-USB" with the communicator behind it.
    int plugCommunicator(const KavrDeviceState &state = KavrDeviceModel::initialState());
    std::shared_ptr<ModelFarEnd> communicator;
};

// True when the test process runs against the emulated converters, not a real
// USB library (checked before anything opens a device).
bool emulatedUsbLoaded();
