#pragma once

#include <QString>

class ExchangeTrace;

// How exchanges run: the serial tuning of Config.ini and the trace. A plain
// value the window and the tool fill from their own configuration.
struct ExchangeOptions {
    // Serial poll interval in milliseconds. The time limit is counted in
    // these ticks: 2000 / TimeOutRS + 1 of them.
    int TimeOutRS = 10;
    // "1": the serial port is closed after every exchange.
    QString ClosePort = QStringLiteral("0");
    // A write sends one byte per poll tick instead of answering each "D" at once.
    bool WriteOnTick = false;
    // Every byte both ways goes here as well (none: no trace).
    ExchangeTrace *trace = nullptr;

    // TimeOutRS when it is usable, else 10 ms: 0 or less gives no interval,
    // and beyond two seconds a tick the time limit would be a couple of
    // ticks and an exchange would crawl.
    int serialInterval() const { return (TimeOutRS <= 0 || TimeOutRS > 2000) ? 10 : TimeOutRS; }
    bool closePort() const { return ClosePort == QLatin1String("1"); }
};
