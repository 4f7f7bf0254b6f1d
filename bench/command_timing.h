#pragma once

// The Read and Write commands as the program runs them (version query, then
// the block), timed; shared by the exchange benchmarks.

#include "app/MainWindowState.h"
#include "device/ExchangeEngine.h"
#include "device/ExchangeRunner.h"
#include "device/UsbLink.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

struct CommandTiming {
    MainWindowState &window;
    ExchangeEngine &engine;
    UsbLink &usb;
    bool failed = false; // an exchange showed a message

    void run()
    {
        ExchangeRunner runner(engine);
        runner.setMessageHandler([this](const QString &t) {
            std::fprintf(stderr, "message: %s\n", qPrintable(t));
            failed = true;
        });
        runner.run();
    }
    // Milliseconds the Read command took.
    double read()
    {
        QElapsedTimer t;
        t.start();
        if (engine.usbSelected())
            usb.open();
        engine.ExchangeAborted = false;
        window.VersionQueryRequested = true;
        engine.prepareVersionQuery();
        run();
        engine.prepareRead();
        run();
        return t.nsecsElapsed() / 1e6;
    }
    // Milliseconds the Write command took.
    double write()
    {
        QElapsedTimer t;
        t.start();
        if (engine.usbSelected())
            usb.open();
        engine.prepareWriteVersionQuery();
        run();
        window.WriteVersionQuery = false;
        window.VersionQueryRequested = false;
        if (!engine.ExchangeAborted) {
            engine.prepareWrite();
            run();
        }
        return t.nsecsElapsed() / 1e6;
    }
};

inline double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
