#include "sim/KavrSimulator.h"

#include "sim/PtyLine.h"

KavrSimulator::KavrSimulator(const KavrSimOptions &options) : m_options(options)
{
}

KavrSimulator::~KavrSimulator()
{
    stop();
}

bool KavrSimulator::run(std::shared_ptr<SimLine> line, QString *error)
{
    stop();
    m_runner = std::make_unique<KavrSimRunner>(m_options, std::move(line));
    if (!m_runner->start(error)) {
        m_runner.reset();
        return false;
    }
    return true;
}

bool KavrSimulator::startOnPty(QString *error)
{
    std::shared_ptr<PtyLine> line = PtyLine::create(error);
    if (!line)
        return false;
    m_path = line->path();
    return run(line, error);
}

bool KavrSimulator::attachTo(const QString &devicePath, QString *error)
{
    std::shared_ptr<PtyLine> line = PtyLine::attach(devicePath, m_options.line.baud, error);
    if (!line)
        return false;
    m_path = line->path();
    return run(line, error);
}

std::shared_ptr<SimulatedCable> KavrSimulator::startOnCable(QString *error)
{
    auto cable = std::make_shared<SimulatedCable>();
    m_path.clear();
    if (!run(cable, error))
        return nullptr;
    return cable;
}

void KavrSimulator::stop()
{
    if (m_runner)
        m_runner->stop();
}

KavrDeviceState KavrSimulator::state() const
{
    return m_runner ? m_runner->state() : m_options.state;
}

int KavrSimulator::writesCompleted() const
{
    return m_runner ? m_runner->writesCompleted() : 0;
}

QByteArray KavrSimulator::lastWrittenBlock() const
{
    return m_runner ? m_runner->lastWrittenBlock() : QByteArray();
}
