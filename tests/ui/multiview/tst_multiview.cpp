// The multi-view's geometry rules, and real surfaces: a dropped file plays in an extra surface
// beside the player's own, muted, and stops when the view closes.
#include "TestMedia.h"
#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"
#include "ui/multiview/MultiViewWidget.h"

#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QUrl>

namespace {
// Something other than black in the middle of what the surface drew.
bool showsPicture(MpvWidget *surface)
{
    const QImage frame = surface->grabFramebuffer();
    const QRgb centre = frame.pixel(frame.width() / 2, frame.height() / 2);
    return qRed(centre) + qGreen(centre) + qBlue(centre) > 60;
}
} // namespace

class MultiViewTest : public QObject
{
    Q_OBJECT

private slots:
    void geometry_data()
    {
        QTest::addColumn<MultiViewLayout>("layout");
        QTest::addColumn<QRect>("main");
        QTest::addColumn<QList<QRect>>("secondaries");
        QTest::newRow("single") << MultiViewLayout::Single << QRect(0, 0, 1280, 720) << QList<QRect>{};
        QTest::newRow("picture in picture")
            << MultiViewLayout::PIP << QRect(0, 0, 1280, 720) << QList<QRect>{QRect(947, 527, 320, 180)};
        QTest::newRow("side by side")
            << MultiViewLayout::DualHorizontal << QRect(0, 0, 640, 720) << QList<QRect>{QRect(640, 0, 640, 720)};
        QTest::newRow("stacked")
            << MultiViewLayout::DualVertical << QRect(0, 0, 1280, 360) << QList<QRect>{QRect(0, 360, 1280, 360)};
        QTest::newRow("grid") << MultiViewLayout::Quad << QRect(0, 0, 640, 360)
                              << QList<QRect>{QRect(640, 0, 640, 360), QRect(0, 360, 640, 360), QRect(640, 360, 640, 360)};
    }
    void geometry()
    {
        QFETCH(MultiViewLayout, layout);
        QFETCH(QRect, main);
        QFETCH(QList<QRect>, secondaries);
        const MultiViewGeometry places = MultiView::geometry(layout, QRect(0, 0, 1280, 762));
        QCOMPARE(places.bar, QRect(8, 720, 1264, 34));
        QCOMPARE(places.main, main);
        QCOMPARE(places.secondaries, secondaries);
    }

    void droppedFilePlaysBesideTheMainVideo()
    {
        auto *main = new MpvWidget;
        MultiViewWidget view(main);
        view.resize(800, 500);
        view.show();
        view.adoptMainSurface();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        QTRY_VERIFY(main->isInitialized());
        main->loadFile(TestMedia::path(QStringLiteral("clip_320x240.mp4")));

        QSignalSpy layouts(&view, &MultiViewWidget::layoutChanged);
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(TestMedia::path(QStringLiteral("chapters_3.mkv")))});
        QDragEnterEvent enter(QPoint(400, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&view, &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(400, 200), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&view, &drop);
        QCOMPARE(layouts.size(), 1);
        QCOMPARE(layouts.first().first().value<MultiViewLayout>(), MultiViewLayout::PIP);

        // The new surface's engine was not up when the file came; it plays once it is.
        MpvWidget *extra = view.secondarySurfaces().first();
        QTRY_VERIFY_WITH_TIMEOUT(extra->isInitialized() && extra->core()->position() > 0.5, 15000);
        QCOMPARE(extra->core()->propertyText(QStringLiteral("mute")), QStringLiteral("yes"));
        QTRY_VERIFY(showsPicture(extra));
        QTRY_VERIFY(showsPicture(main));

        view.setLayout(MultiViewLayout::Quad);
        view.setLayout(MultiViewLayout::PIP);
        QCOMPARE(view.secondarySurfaces().size(), 3);
        QVERIFY(extra->isVisible());
        QVERIFY(view.secondarySurfaces().at(1)->isHidden() && view.secondarySurfaces().at(2)->isHidden());

        view.setLayout(MultiViewLayout::Single);
        QTRY_COMPARE(extra->core()->propertyText(QStringLiteral("idle-active")), QStringLiteral("yes"));
        QVERIFY(extra->isHidden());
    }
};

QTEST_MAIN(MultiViewTest)
#include "tst_multiview.moc"
