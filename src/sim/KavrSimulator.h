#pragma once

#include "sim/KavrSimOptions.h"
#include "sim/KavrSimRunner.h"
#include "sim/SimulatedCable.h"

#include <QString>

#include <memory>

// The simulated communicator, ready to use in-process: picks a line (a new
// pseudo-terminal, an existing terminal device or an in-process cable) and
// runs the device on it on its own thread until stop() or destruction.
//
//   KavrSimulator sim(options);
//   sim.startOnPty();          // host opens sim.linePath()
//   auto cable = sim.startOnCable();  // host writes/reads the cable
class KavrSimulator
{
  public:
    explicit KavrSimulator(const KavrSimOptions &options = {});
    ~KavrSimulator();
    KavrSimulator(const KavrSimulator &) = delete;
    KavrSimulator &operator=(const KavrSimulator &) = delete;

    bool startOnPty(QString *error = nullptr);
    bool attachTo(const QString &devicePath, QString *error = nullptr);
    std::shared_ptr<SimulatedCable> startOnCable(QString *error = nullptr);

    // The terminal path the host opens (empty on a cable).
    QString linePath() const { return m_path; }

    void stop();
    // False before start, after stop, and once the line has ended (hang-up
    // fault, host unplugged the cable, terminal device closed).
    bool isRunning() const { return m_runner && m_runner->isRunning(); }

    // Device state snapshots, safe from any thread.
    KavrDeviceState state() const;
    int writesCompleted() const;
    QByteArray lastWrittenBlock() const;
    long long bytesSent() const { return m_runner ? m_runner->bytesSent() : 0; }
    long long bytesReceived() const { return m_runner ? m_runner->bytesReceived() : 0; }

  private:
    bool run(std::shared_ptr<SimLine> line, QString *error);

    KavrSimOptions m_options;
    std::unique_ptr<KavrSimRunner> m_runner;
    QString m_path;
};
