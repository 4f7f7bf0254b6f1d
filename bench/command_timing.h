#pragma once

// The Read and Write commands as the program runs them (the exchange
// service's read and write), timed; shared by the exchange benchmarks.

#include "app/ExchangeTexts.h"
#include "device/ExchangeService.h"
#include "settings/SettingsRecord.h"

#include <QElapsedTimer>
#include <QObject>

#include <algorithm>
#include <cstdio>
#include <vector>

struct CommandTiming {
    ExchangeService &service;
    SettingsRecord &record;
    bool failed = false; // a command did not end well

    explicit CommandTiming(ExchangeService &s, SettingsRecord &r) : service(s), record(r)
    {
        QObject::connect(&service, &ExchangeService::noticeRequested, &service,
                         [](ExchangeNotice notice, const QByteArray &received) {
                             std::fprintf(stderr, "message: %s\n",
                                          qPrintable(ExchangeTexts::noticeText(notice, received)));
                         });
    }
    double timed(ExchangeResult (ExchangeService::*command)(SettingsRecord &))
    {
        QElapsedTimer t;
        t.start();
        if ((service.*command)(record) != ExchangeResult::Done)
            failed = true;
        return t.nsecsElapsed() / 1e6;
    }
    // Milliseconds the Read command took.
    double read() { return timed(&ExchangeService::read); }
    // Milliseconds the Write command took (the device's counters kept);
    // verified: the block read before and read back after it.
    double write(bool verify = false)
    {
        QElapsedTimer t;
        t.start();
        ExchangeService::WriteSteps steps;
        steps.verify = verify;
        if (service.write(record, steps) != ExchangeResult::Done)
            failed = true;
        return t.nsecsElapsed() / 1e6;
    }
};

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
