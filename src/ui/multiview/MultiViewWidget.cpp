#include "ui/multiview/MultiViewWidget.h"

#include "engine/MpvCore.h"
#include "engine/MpvWidget.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>

namespace {
QString firstLocalFile(const QMimeData *mime)
{
    if (!mime)
        return {};
    for (const QUrl &url : mime->urls())
        if (url.isLocalFile())
            return url.toLocalFile();
    return {};
}
} // namespace

MultiViewWidget::MultiViewWidget(MpvWidget *mainSurface, QWidget *parent)
    : QWidget(parent)
    , main_(mainSurface)
    , bar_(new QWidget(this))
{
    setAcceptDrops(true);
    setStyleSheet(QStringLiteral("MultiViewWidget { background: #000000; }"
                                 "#layoutBar { background: rgba(20, 20, 20, 220); border-radius: 4px; }"
                                 "#layoutBar QLabel { color: #8a8a8a; font-size: 10px; }"
                                 "QPushButton#layoutBtn { background: #1e1e1e; color: #dcdcdc; border: 1px solid #333333;"
                                 "  border-radius: 3px; padding: 2px 8px; font-size: 11px; }"
                                 "QPushButton#layoutBtn:hover { border-color: #00c8b4; }"));
    setAttribute(Qt::WA_StyledBackground);
    bar_->setObjectName(QStringLiteral("layoutBar"));
    bar_->setAttribute(Qt::WA_StyledBackground);
    auto *row = new QHBoxLayout(bar_);
    row->setContentsMargins(8, 2, 8, 2);
    row->addWidget(new QLabel(QStringLiteral("레이아웃:")));
    const std::pair<const char *, MultiViewLayout> buttons[] = {
        {"단일", MultiViewLayout::Single},
        {"PIP", MultiViewLayout::PIP},
        {"듀얼(좌우)", MultiViewLayout::DualHorizontal},
        {"듀얼(상하)", MultiViewLayout::DualVertical},
        {"쿼드", MultiViewLayout::Quad}};
    for (const auto &[text, layout] : buttons) {
        auto *button = new QPushButton(QString::fromUtf8(text));
        button->setObjectName(QStringLiteral("layoutBtn"));
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QPushButton::clicked, this, [this, layout = layout] { setLayout(layout); });
        row->addWidget(button);
    }
    row->addStretch();
}

void MultiViewWidget::adoptMainSurface()
{
    if (main_->parentWidget() != this)
        main_->setParent(this);
    main_->show();
    relayout();
}

void MultiViewWidget::setLayout(MultiViewLayout layout)
{
    layout_ = layout;
    const int needed = MultiView::secondariesNeeded(layout);
    while (secondaries_.size() < needed)
        addSecondary();
    for (int i = 0; i < secondaries_.size(); ++i) {
        MpvWidget *surface = secondaries_.at(i);
        if (layout == MultiViewLayout::Single)
            stop(surface); // the view closes: nothing plays on unseen
        setShown(surface, i < needed);
    }
    relayout();
    emit layoutChanged(layout);
}

void MultiViewWidget::loadSecondaryFile(const QString &path)
{
    if (layout_ == MultiViewLayout::Single)
        setLayout(MultiViewLayout::PIP);
    playIn(surfaceForNextFile(), path);
}

void MultiViewWidget::closeSecondary()
{
    if (secondaries_.isEmpty())
        return;
    stop(secondaries_.first());
    setShown(secondaries_.first(), false);
}

MpvWidget *MultiViewWidget::addSecondary()
{
    auto *surface = new MpvWidget(this);
    secondaries_ << surface;
    surface->hide();
    surface->installEventFilter(this);
    connect(surface, &MpvWidget::mpvInitialized, this, [this, surface] {
        surface->core()->setMute(true); // one sound at a time: the player's own
        const QString path = waiting_.take(surface);
        if (!path.isEmpty())
            surface->loadFile(path);
        if (surface->isHidden())
            surface->core()->setMpvProperty(QStringLiteral("pause"), true);
    });
    return surface;
}

MpvWidget *MultiViewWidget::surfaceForNextFile() const
{
    // In the grid the next file fills the next empty place; otherwise the first extra surface.
    const int shown = MultiView::secondariesNeeded(layout_);
    for (int i = 0; i < shown; ++i)
        if (files_.value(secondaries_.at(i)).isEmpty())
            return secondaries_.at(i);
    return secondaries_.first();
}

void MultiViewWidget::playIn(MpvWidget *surface, const QString &path)
{
    files_.insert(surface, path);
    if (!surface->isInitialized()) {
        waiting_.insert(surface, path); // its GL context, and with it the engine, comes when shown
        return;
    }
    surface->loadFile(path);
    surface->core()->setMpvProperty(QStringLiteral("pause"), surface->isHidden());
}

void MultiViewWidget::setShown(MpvWidget *surface, bool shown)
{
    surface->setVisible(shown);
    if (surface->isInitialized() && !files_.value(surface).isEmpty())
        surface->core()->setMpvProperty(QStringLiteral("pause"), !shown);
}

void MultiViewWidget::stop(MpvWidget *surface)
{
    files_.remove(surface);
    waiting_.remove(surface);
    if (surface->isInitialized())
        surface->core()->command({QStringLiteral("stop")});
}

void MultiViewWidget::relayout()
{
    const MultiViewGeometry places = MultiView::geometry(layout_, rect());
    bar_->setGeometry(places.bar);
    if (main_->parentWidget() == this)
        main_->setGeometry(places.main);
    for (int i = 0; i < places.secondaries.size() && i < secondaries_.size(); ++i)
        secondaries_.at(i)->setGeometry(places.secondaries.at(i));
    // The picture-in-picture over the main video, also after the main video was raised.
    for (MpvWidget *surface : std::as_const(secondaries_))
        if (surface->isVisible())
            surface->raise();
    bar_->raise();
}

bool MultiViewWidget::eventFilter(QObject *watched, QEvent *event)
{
    // A double click on an empty place asks the host for a file to put there.
    if (event->type() == QEvent::MouseButtonDblClick && files_.value(qobject_cast<MpvWidget *>(watched)).isEmpty())
        emit secondaryFileRequested();
    return QWidget::eventFilter(watched, event);
}

void MultiViewWidget::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    relayout();
}

void MultiViewWidget::dragEnterEvent(QDragEnterEvent *event)
{
    if (!firstLocalFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MultiViewWidget::dropEvent(QDropEvent *event)
{
    const QString path = firstLocalFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    loadSecondaryFile(path);
}
