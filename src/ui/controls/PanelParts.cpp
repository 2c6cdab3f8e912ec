#include "ui/controls/PanelParts.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>

namespace PanelParts {

QLabel *caption(const QString &text)
{
    auto *label = new QLabel(text);
    label->setProperty("role", QStringLiteral("caption"));
    return label;
}

QFrame *rule()
{
    auto *line = new QFrame;
    line->setProperty("role", QStringLiteral("rule"));
    line->setFixedWidth(1);
    return line;
}

QPushButton *button(const QString &text, const QString &toolTip, int height)
{
    auto *button = new QPushButton(text);
    button->setToolTip(toolTip);
    button->setFixedHeight(height);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QScrollArea *sidewaysScroller(QWidget *page)
{
    auto *scroller = new QScrollArea;
    scroller->setFrameShape(QFrame::NoFrame);
    scroller->setFocusPolicy(Qt::NoFocus);
    scroller->setWidgetResizable(true);
    scroller->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroller->setWidget(page);
    return scroller;
}

QScrollArea *scroller(QWidget *page)
{
    QScrollArea *scroller = sidewaysScroller(page);
    scroller->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    return scroller;
}

} // namespace PanelParts
