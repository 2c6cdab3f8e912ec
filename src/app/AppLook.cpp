#include "app/AppLook.h"

#include <QApplication>
#include <QPalette>
#include <QStyleFactory>

namespace AppLook {

void applyDarkLook(QApplication &app)
{
    app.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));

    QPalette palette;
    palette.setColor(QPalette::Window, QColor(20, 20, 20));
    palette.setColor(QPalette::WindowText, QColor(224, 224, 224));
    palette.setColor(QPalette::Base, QColor(17, 17, 17));
    palette.setColor(QPalette::AlternateBase, QColor(25, 25, 25));
    palette.setColor(QPalette::ToolTipBase, QColor(30, 30, 30));
    palette.setColor(QPalette::ToolTipText, QColor(200, 200, 200));
    palette.setColor(QPalette::Text, QColor(224, 224, 224));
    palette.setColor(QPalette::Button, QColor(30, 30, 30));
    palette.setColor(QPalette::ButtonText, QColor(224, 224, 224));
    palette.setColor(QPalette::BrightText, Qt::red);
    palette.setColor(QPalette::Link, QColor(79, 195, 247));
    palette.setColor(QPalette::Highlight, QColor(26, 58, 92));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    app.setPalette(palette);
}

} // namespace AppLook
