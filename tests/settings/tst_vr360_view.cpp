// The 360° view on the real engine, judged by the rendered frame: each projection, a turn of
// the view and a zoom change the picture; switching the view off brings the flat picture back.
#include "TestMedia.h"
#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"
#include "settings/NetworkBrowserWidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QTest>

namespace {

QImage frameOf(MpvWidget &surface)
{
    // Two frames in a row must agree, so the picture judged is the settled one.
    QTest::qWait(300);
    QImage previous = surface.grabFramebuffer();
    for (int attempt = 0; attempt < 40; ++attempt) {
        QTest::qWait(100);
        QImage current = surface.grabFramebuffer();
        if (current == previous)
            return current;
        previous = current;
    }
    return previous;
}

// Share of sampled pixels whose colour differs clearly.
double difference(const QImage &a, const QImage &b)
{
    if (a.size() != b.size())
        return 1.0;
    int differing = 0;
    int samples = 0;
    for (int y = 0; y < a.height(); y += 8)
        for (int x = 0; x < a.width(); x += 8, ++samples) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            if (qAbs(qRed(p) - qRed(q)) + qAbs(qGreen(p) - qGreen(q)) + qAbs(qBlue(p) - qBlue(q)) > 60)
                ++differing;
        }
    return double(differing) / samples;
}

} // namespace

class Vr360ViewTest : public QObject
{
    Q_OBJECT
private slots:
    void viewChangesTheFrame()
    {
        MpvWidget surface;
        surface.resize(640, 480);
        surface.show();
        QTRY_VERIFY(surface.isInitialized());
        MpvCore *core = surface.core();
        // The bars do not move, so every difference comes from the view.
        core->setMpvProperty(QStringLiteral("loop-file"), QStringLiteral("inf"));
        surface.loadFile(TestMedia::path(QStringLiteral("clip_320x240.mp4")));
        QTRY_VERIFY_WITH_TIMEOUT(core->position() > 0.3, 10000);
        const QImage flat = frameOf(surface);

        NetworkBrowserWidget page(core);
        auto *check = page.findChild<QCheckBox *>(QStringLiteral("vr360Check"));
        auto *projection = page.findChild<QComboBox *>(QStringLiteral("projectionBox"));
        projection->setCurrentIndex(1);
        check->setChecked(true);
        QVERIFY(core->isVr360Enabled());

        // Each projection draws the same source into another picture than the flat one and the
        // one chosen before it, the ticked one included.
        QImage before = flat;
        for (int index : {1, 0, 2, 3}) {
            projection->setCurrentIndex(index);
            const QImage frame = frameOf(surface);
            QVERIFY2(difference(frame, flat) > 0.05, qPrintable(projection->currentText()));
            QVERIFY2(difference(frame, before) > 0.05, qPrintable(projection->currentText()));
            before = frame;
        }

        projection->setCurrentIndex(0);
        const QImage ahead = frameOf(surface);
        core->turnVr360View(90, 0);
        const QImage turned = frameOf(surface);
        QVERIFY(difference(turned, ahead) > 0.05);
        core->zoomVr360View(-40);
        QVERIFY(difference(frameOf(surface), turned) > 0.05);

        // Choosing the projection again looks ahead again, though the entry's text is unchanged.
        projection->setCurrentIndex(1);
        projection->setCurrentIndex(0);
        QVERIFY(difference(frameOf(surface), ahead) < 0.02);

        check->setChecked(false);
        QVERIFY(!core->isVr360Enabled());
        QVERIFY(core->videoFilter(VideoFilterSlot::Vr360).isEmpty());
        QVERIFY(difference(frameOf(surface), flat) < 0.02);
    }
};

QTEST_MAIN(Vr360ViewTest)
#include "tst_vr360_view.moc"
