#include "engine/RenderEnvironment.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QTest>

// Runs on Xvfb with Mesa's software renderer, the only GL the test machines are sure to have.
class RenderEnvironmentGlTest : public QObject
{
    Q_OBJECT
private slots:
    void readsTheCurrentContext()
    {
        QOffscreenSurface surface;
        surface.create();
        QOpenGLContext context;
        QVERIFY(context.create());
        QVERIFY(context.makeCurrent(&surface));

        const RenderEnvironment env = detectRenderEnvironment();
        QVERIFY2(env.gpuRenderer.contains(QStringLiteral("llvmpipe")), qPrintable(env.gpuRenderer));
        QVERIFY(env.gpuVendor != QStringLiteral("Unknown"));
        // llvmpipe draws with the CPU: the minimal-load profile of an integrated GPU.
        QVERIFY(env.softwareRenderer && env.tier == GpuTier::Integrated);
        QVERIFY(queryVramMb() == 0 && env.vramMb == 0);
        QVERIFY2(env.summary.contains(env.gpuRenderer), qPrintable(env.summary));

        context.doneCurrent();
        QCOMPARE(queryVramMb(), 0); // no context: nothing to ask, nothing to fail
    }
};

QTEST_MAIN(RenderEnvironmentGlTest)
#include "tst_render_environment_gl.moc"
