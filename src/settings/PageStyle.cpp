#include "settings/PageStyle.h"

namespace PageStyle {

QString sheet(const QStringList &pageObjectNames)
{
#define VELMORAN_PAGE_FONTS "font-family: 'Malgun Gothic', 'Segoe UI', 'Noto Sans CJK KR', sans-serif;"
    static const QString common = QStringLiteral(
        "QScrollArea { background: transparent; }"
        "QLabel, QGroupBox { color: #bdbdbd; font-size: 11px; background: transparent; " VELMORAN_PAGE_FONTS " }"
        "QLabel[role=\"caption\"] { color: #9e9e9e; font-weight: 700; }"
        "QLabel[role=\"note\"] { color: #808080; font-size: 10px; }"
        "QLabel[state=\"ok\"] { color: #4caf50; }"
        "QLabel[state=\"off\"] { color: #666666; }"
        "QLabel[state=\"error\"] { color: #ef5350; }"
        "QGroupBox { border: 1px solid #2a2a2a; border-radius: 3px; margin-top: 8px; padding-top: 4px; }"
        "QGroupBox::title { subcontrol-origin: margin; left: 6px; color: #9e9e9e; font-weight: 700; }"
        "QLineEdit, QComboBox { background: #1e1e1e; color: #dcdcdc; border: 1px solid #333333; border-radius: 3px;"
        "  padding: 0px 6px; font-size: 11px; " VELMORAN_PAGE_FONTS " }"
        "QLineEdit:focus, QComboBox:hover { border-color: #00c8b4; }"
        "QComboBox QAbstractItemView { background: #1e1e1e; color: #dcdcdc; border: 1px solid #333333;"
        "  selection-background-color: #00c8b4; selection-color: #0d0d0d; }"
        "QListWidget { background: #101010; color: #dcdcdc; border: 1px solid #262626; border-radius: 3px;"
        "  font-size: 11px; outline: none; " VELMORAN_PAGE_FONTS " }"
        "QListWidget::item { padding: 2px 3px; }"
        "QListWidget::item:selected { background: #1d3d39; }"
        "QCheckBox { color: #bdbdbd; font-size: 11px; spacing: 5px; " VELMORAN_PAGE_FONTS " }"
        "QCheckBox:disabled { color: #5a5a5a; }"
        "QCheckBox::indicator { width: 10px; height: 10px; border: 1px solid #4a4a4a; border-radius: 2px;"
        "  background: #1e1e1e; }"
        "QCheckBox::indicator:checked { background: #00c8b4; border-color: #00c8b4; }"
        "QPushButton { background: #1e1e1e; color: #dcdcdc; border: 1px solid #333333; border-radius: 3px;"
        "  padding: 0px 8px; font-size: 11px; " VELMORAN_PAGE_FONTS " }"
        "QPushButton:hover { border-color: #00c8b4; }"
        "QPushButton:disabled { color: #5a5a5a; }"
        "QSlider::groove:horizontal { height: 3px; background: #333333; }"
        "QSlider::handle:horizontal { width: 10px; margin: -4px 0; border-radius: 5px; background: #00c8b4; }"
        "QTabWidget::pane { border: none; border-top: 1px solid #2a2a2a; }"
        "QTabBar::tab { background: #1a1a1a; color: #9e9e9e; padding: 4px 12px; border: none; font-size: 11px; "
        VELMORAN_PAGE_FONTS " }"
        "QTabBar::tab:selected { color: #00c8b4; border-bottom: 2px solid #00c8b4; }"
        "QFrame[role=\"rule\"] { background: #2a2a2a; }"
        "QScrollBar:horizontal { height: 6px; background: #141414; }"
        "QScrollBar:vertical { width: 6px; background: #141414; }"
        "QScrollBar::handle { background: #3a3a3a; border-radius: 3px; min-width: 30px; min-height: 30px; }"
        "QScrollBar::add-line, QScrollBar::sub-line { width: 0px; height: 0px; }"
        "QScrollBar::add-page, QScrollBar::sub-page { background: none; }");
#undef VELMORAN_PAGE_FONTS
    QStringList backgrounds;
    for (const QString &name : pageObjectNames)
        backgrounds << QLatin1Char('#') + name;
    return backgrounds.join(QStringLiteral(", ")) + QStringLiteral(" { background: #141414; }") + common;
}

} // namespace PageStyle
