// The settings pages of the pro panel fit it at the first-start window size (three fifths of a
// 1920×1080 screen) and at 1280×720: no control drawn over another, no text cut off; a page
// that is too tall scrolls. With VELMORAN_SHOT_DIR set, each page is saved as a picture too.
#include "mainwindow/MainWindow.h"

#include <QLabel>
#include <QTabWidget>
#include <QTest>

#include <algorithm>

namespace {

// The part of `widget` on screen: its rectangle cut by every ancestor up to `page`.
QRect onScreen(const QWidget *widget, const QWidget *page)
{
    QRect shown(widget->mapTo(page, QPoint(0, 0)), widget->size());
    for (const QWidget *ancestor = widget->parentWidget(); ancestor != page; ancestor = ancestor->parentWidget())
        shown &= QRect(ancestor->mapTo(page, QPoint(0, 0)), ancestor->size());
    return shown;
}

// Controls drawn over one another, and labels lower than their text.
QStringList faults(QWidget *page)
{
    QList<QWidget *> leaves;
    for (QWidget *widget : page->findChildren<QWidget *>())
        if (widget->isVisible() && !onScreen(widget, page).isEmpty()
            && std::ranges::none_of(widget->findChildren<QWidget *>(Qt::FindDirectChildrenOnly), &QWidget::isVisible))
            leaves << widget;
    const auto name = [](const QWidget *w) {
        const auto *label = qobject_cast<const QLabel *>(w);
        return QStringLiteral("%1 \"%2\"").arg(QLatin1String(w->metaObject()->className()), label ? label->text().left(20) : w->objectName());
    };
    QStringList found;
    for (qsizetype i = 0; i < leaves.size(); ++i) {
        for (qsizetype j = i + 1; j < leaves.size(); ++j)
            if (onScreen(leaves[i], page).intersects(onScreen(leaves[j], page)))
                found << name(leaves[i]) + QStringLiteral(" over ") + name(leaves[j]);
        const auto *label = qobject_cast<const QLabel *>(leaves[i]);
        if (label && label->height() < (label->wordWrap() ? label->heightForWidth(label->width()) : label->minimumSizeHint().height()))
            found << name(label) + QStringLiteral(" cut off");
    }
    return found;
}

// Brings the tab of that title to the front; its page.
QWidget *showTab(const QWidget *parent, const QString &title)
{
    for (QTabWidget *tabs : parent->findChildren<QTabWidget *>())
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->tabText(i) == title) {
                tabs->setCurrentIndex(i);
                return tabs->currentWidget();
            }
    return nullptr;
}

} // namespace

class ProPagesFitTest : public QObject
{
    Q_OBJECT

private slots:
    void pagesFit_data()
    {
        QTest::addColumn<QSize>("window");
        QTest::addColumn<QString>("page");
        QTest::addColumn<QString>("tab");
        const std::pair<const char *, const char *> pages[] = {
            {"하이엔드 오디오", "룸 코렉션"}, {"하이엔드 오디오", "LADSPA 플러그인"}, {"하이엔드 비디오", ""},
            {"네트워크", "SMB/NAS"},         {"네트워크", "360° VR"},            {"네트워크", "캐스팅"}};
        for (const QSize window : {QSize(1152, 648), QSize(1280, 720)})
            for (const auto &[page, tab] : pages)
                QTest::addRow("%dx%d %s %s", window.width(), window.height(), page, tab)
                    << window << QString::fromUtf8(page) << QString::fromUtf8(tab);
    }
    void pagesFit()
    {
        QFETCH(QSize, window);
        QFETCH(QString, page);
        QFETCH(QString, tab);
        MainWindow main;
        main.resize(window);
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        main.toggleProFeatures();
        QWidget *shown = showTab(&main, page);
        QVERIFY(shown && (tab.isEmpty() || showTab(shown, tab)));
        // The longest status a cast can end with.
        main.findChild<QLabel *>(QStringLiteral("castStatus"))
            ->setText(QStringLiteral("Cast 프로토콜 전송 실패. 수동 연결:\n스트리밍 URL: http://192.168.100.200:8080/stream\n"
                                     "크롬캐스트 앱에서 위 URL을 입력하세요.\n(기기에 연결할 수 없습니다: Connection refused)"));
        QTest::qWait(50);
        if (const QString shots = qEnvironmentVariable("VELMORAN_SHOT_DIR"); !shots.isEmpty())
            main.grab().save(QStringLiteral("%1/%2x%3-%4-%5.png").arg(shots).arg(window.width()).arg(window.height()).arg(page, tab));
        const QStringList found = faults(shown);
        QVERIFY2(found.isEmpty(), qPrintable(found.join(QStringLiteral("; "))));
    }
};

QTEST_MAIN(ProPagesFitTest)
#include "tst_pro_pages_fit.moc"
