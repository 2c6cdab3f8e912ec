#include "engine/RenderEnvironment.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QRegularExpression>
#include <QTest>

namespace {
QStringList capturedLines;
void capture(QtMsgType, const QMessageLogContext &, const QString &message)
{
    capturedLines << message;
}
} // namespace

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

        const QtMessageHandler previous = qInstallMessageHandler(capture);
        const RenderEnvironment env = detectRenderEnvironment();
        const int vram = queryVramMb();
        qInstallMessageHandler(previous);

        QVERIFY2(env.gpuRenderer.contains(QStringLiteral("llvmpipe")), qPrintable(env.gpuRenderer));
        QVERIFY(env.gpuVendor != QStringLiteral("Unknown"));
        // llvmpipe draws with the CPU: the minimal-load profile of an integrated GPU.
        QVERIFY(env.softwareRenderer && env.tier == GpuTier::Integrated);
        QVERIFY(vram == 0 && env.vramMb == 0);

        const QRegularExpression format(QStringLiteral(
            "^화면: (\\d+)×(\\d+) \\(DPR=(\\d+\\.\\d), (\\d+)Hz, (FHD|QHD|4K|5K\\+)\\) \\| GPU: (.+) \\[(.+)\\] "
            "\\| 렌더: scale=(\\S+), deband=(ON|OFF)×(\\d+)$"));
        const QRegularExpressionMatch match = format.match(env.summary);
        QVERIFY2(match.hasMatch(), qPrintable(env.summary));
        QCOMPARE(match.capturedTexts().mid(6, 3), (QStringList{env.gpuRenderer, tierName(GpuTier::Integrated), env.scale}));

        const QString noVram = QStringLiteral("[RenderEnv] VRAM 감지 불가 (확장 미지원)");
        QCOMPARE(capturedLines, QStringList({QStringLiteral("[RenderEnv] 통합 GPU 감지 → 최소 부하 설정 적용"), noVram,
                                             QStringLiteral("[RenderEnv] ") + env.summary, noVram}));

        context.doneCurrent();
        capturedLines.clear();
        qInstallMessageHandler(capture);
        QCOMPARE(queryVramMb(), 0);
        qInstallMessageHandler(previous);
        QCOMPARE(capturedLines, QStringList());
    }
};

QTEST_MAIN(RenderEnvironmentGlTest)
#include "tst_render_environment_gl.moc"
