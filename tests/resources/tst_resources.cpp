#include <QDir>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QTest>

// Every picture the widgets ask for by resource path must be there and draw something: a
// missing or broken one would only show up as an empty button.
class ResourcesTest : public QObject
{
    Q_OBJECT

    static bool hasVisiblePixels(const QImage &image)
    {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qAlpha(image.pixel(x, y)) > 128)
                    return true;
        return false;
    }

private slots:
    // Each icon drawn for the source tree is in the resources, under its own name.
    void iconsDrawAtButtonSize()
    {
        const QDir drawn(QStringLiteral(QT_TESTCASE_SOURCEDIR "/../../src/resources/icons"));
        const QStringList names = drawn.entryList({QStringLiteral("*.svg")});
        QVERIFY2(names.size() >= 20, qPrintable(drawn.path()));
        for (const QString &name : names) {
            const QIcon icon(QStringLiteral(":/icons/") + name);
            QVERIFY2(hasVisiblePixels(icon.pixmap(20, 20).toImage()), qPrintable(name));
        }
    }

};

QTEST_MAIN(ResourcesTest)
#include "tst_resources.moc"
