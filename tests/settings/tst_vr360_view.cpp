// The 360° view on the real engine, judged by the rendered frame: each projection, a turn of
// the view and a zoom change the picture; switching the view off brings the flat picture back.
#include "ShownEngine.h"
#include "settings/NetworkBrowserWidget.h"

#include <QCheckBox>
#include <QComboBox>
#include <QTest>

namespace {

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
        MpvCore *core = surface.core();
        QVERIFY(startPlaying(surface, QStringLiteral("clip_320x240.mp4")));
        // The bars do not move, so every difference comes from the view; looped, the short clip
        // never ends on a slow machine. (The engine takes properties only once it is up.)
        core->setMpvProperty(QStringLiteral("loop-file"), QStringLiteral("inf"));
        const auto grab = [&surface] { return surface.grabFramebuffer(); };
        QImage flat;
        // Settled on the bars: the yellow one, second of seven, is drawn.
        QTRY_VERIFY_WITH_TIMEOUT((flat = grab(), qAbs(QColor(flat.pixel(flat.width() * 3 / 14, flat.height() / 3)).hue() - 60) < 10), 5000);

        NetworkBrowserWidget page(core);
        auto *check = page.findChild<QCheckBox *>(QStringLiteral("vr360Check"));
        auto *projection = page.findChild<QComboBox *>(QStringLiteral("projectionBox"));
        projection->setCurrentIndex(1);
        check->setChecked(true);
        QVERIFY(core->isVr360Enabled());

        // Each projection draws the same source into another picture than the flat one and the
        // one chosen before it, the ticked one included. Each wait lasts until the picture has moved on.
        QImage before = flat, frame;
        for (int index : {1, 0, 2, 3}) {
            projection->setCurrentIndex(index);
            QTRY_VERIFY2_WITH_TIMEOUT((frame = grab(), difference(frame, flat) > 0.05 && difference(frame, before) > 0.05),
                                      qPrintable(projection->currentText()), 5000);
            before = frame;
        }
        projection->setCurrentIndex(0);
        QImage ahead, turned;
        QTRY_VERIFY_WITH_TIMEOUT((ahead = grab(), difference(ahead, before) > 0.05), 5000);
        core->turnVr360View(90, 0);
        QTRY_VERIFY_WITH_TIMEOUT((turned = grab(), difference(turned, ahead) > 0.05), 5000);
        core->zoomVr360View(-40);
        QTRY_VERIFY_WITH_TIMEOUT(difference(grab(), turned) > 0.05, 5000);

        // Choosing the projection again looks ahead again, though the entry's text is unchanged.
        projection->setCurrentIndex(1);
        projection->setCurrentIndex(0);
        QTRY_VERIFY_WITH_TIMEOUT(difference(grab(), ahead) < 0.02, 5000);

        check->setChecked(false);
        QVERIFY(!core->isVr360Enabled());
        QVERIFY(core->videoFilter(VideoFilterSlot::Vr360).isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(difference(grab(), flat) < 0.02, 5000);
    }
};

QTEST_MAIN(Vr360ViewTest)
#include "tst_vr360_view.moc"
