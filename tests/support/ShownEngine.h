#pragma once

#include "engine/MpvCore.h"

#include <QTest>
#include <QWidget>

// A real engine drawing into a small shown window, for tests that need a picture but not the
// player's own window.
struct ShownEngine {
    QWidget window;
    MpvCore core;

    // False when the window never appeared or the engine did not start.
    bool start()
    {
        window.resize(320, 240);
        window.show();
        return QTest::qWaitForWindowExposed(&window) && core.initialize(qint64(window.winId()));
    }
};
