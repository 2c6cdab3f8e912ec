#pragma once

#include "TestMedia.h"
#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"

#include <QScreen>
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

// The video surface shown at `size` and playing the generated `fixture` past its first half
// second; false when it never got that far.
inline bool startPlaying(MpvWidget &surface, const QString &fixture, QSize size = {640, 480})
{
    surface.resize(size);
    surface.show();
    if (!QTest::qWaitFor([&] { return surface.isInitialized(); }, 5000))
        return false;
    surface.loadFile(TestMedia::path(fixture));
    return QTest::qWaitFor([&] { return surface.core()->position() > 0.5; }, 10000);
}

// The generated clips show seven colour bars in the top two thirds; the yellow one is the second.
inline QRgb yellowBarPixel(MpvWidget &surface)
{
    const QImage frame = surface.grabFramebuffer();
    return frame.pixel(int(1.5 * frame.width() / 7), frame.height() / 3);
}
inline bool isBlueish(QRgb pixel)
{
    return qBlue(pixel) > 160 && qRed(pixel) < 110 && qGreen(pixel) < 110;
}
// A 3D LUT whose every output channel is one minus its input: the yellow bar turns blue.
inline const QByteArray kInvertingLut = "LUT_3D_SIZE 2\n1 1 1\n0 1 1\n1 0 1\n0 0 1\n1 1 0\n0 1 0\n1 0 0\n0 0 0\n";

// What the display shows of `widget` now, read back from the window system: the window's real
// composition, child overlays included.
inline QImage shownPicture(QWidget &widget)
{
    const QPoint origin = widget.mapTo(widget.window(), QPoint(0, 0));
    return widget.screen()
        ->grabWindow(widget.window()->winId(), origin.x(), origin.y(), widget.width(), widget.height())
        .toImage();
}
