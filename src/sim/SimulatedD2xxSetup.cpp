#include "sim/SimulatedD2xxSetup.h"

#include "sim/KavrSimulator.h"

namespace SimulatedUsb
{

std::shared_ptr<SimulatedD2xx> install(const KavrSimOptions &options, QString *error)
{
    auto simulator = std::make_shared<KavrSimulator>(options);
    std::shared_ptr<SimulatedCable> line = simulator->startOnCable(error);
    if (!line)
        return nullptr;
    auto backend = std::make_shared<SimulatedD2xx>();
    backend->attachLine(std::move(line), simulator);
    D2xx::setBackend(backend);
    return backend;
}

bool installIfRequested()
{
    if (qEnvironmentVariable(EnvironmentVariable) != QLatin1String("1"))
        return false;
    KavrSimOptions options;
    options.line.ftdiLatencyMs = 2;
    return install(options) != nullptr;
}

} // namespace SimulatedUsb
