#include "ui/controls/ShortcutOverlay.h"

#include <QApplication>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QPainter>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <vector>

namespace {

struct Shortcut {
    const char *key;
    const char *description;
};

struct Group {
    const char *heading;
    std::vector<Shortcut> rows;
};

const std::array<Group, 5> &groups()
{
    static const std::array<Group, 5> table{{
        {"재생 제어",
         {{"Space / Enter", "재생 / 일시정지"},
          {"S", "정지 (Ctrl+S: 화면 캡처)"},
          {"← / →", "5초 뒤로 / 앞으로"},
          {"Shift+← / →", "1분 뒤로 / 앞으로"},
          {"Ctrl+← / →", "10초 뒤로 / 앞으로"},
          {"PageUp / Down", "5분 뒤로 / 앞으로"},
          {"Home / End", "처음 / 끝으로"},
          {"N", "다음 파일"},
          {"[ / ]", "이전 / 다음 챕터"},
          {"R", "반복 모드 토글"},
          {"X", "셔플 토글"}}},
        {"볼륨 / 오디오",
         {{"↑ / ↓", "볼륨 +5% / -5%"}, {"M", "음소거 토글"}, {"D / Shift+D", "오디오 딜레이 ±100ms"}}},
        {"자막",
         {{"V", "자막 트랙 전환"},
          {"W / E", "자막 크기 +/-"},
          {"J / K", "자막 앞/뒤 이동"},
          {"Z / Shift+Z", "자막 딜레이 ±100ms"}}},
        {"화면",
         {{"F / F11", "전체화면 토글"},
          {"Esc", "전체화면 해제"},
          {"T", "항상 위에 토글"},
          {"C / Ctrl+S", "화면 캡처 저장 (PNG)"}}},
        {"전문 기능",
         {{"Tab / P", "전문 기능 패널 토글"},
          {"A / B", "A-B 반복 시작 / 끝 설정"},
          {"Ctrl+A", "A-B 반복 해제"},
          {"Ctrl+B", "현재 위치 북마크 (챕터/북마크 탭)"},
          {"+ / -", "재생속도 ±0.1x"},
          {"> / <", "재생속도 ±0.25x"},
          {"0", "재생속도 1.0x 초기화"},
          {"I", "재생 정보 표시"},
          {"?", "단축키 도움말"}}},
    }};
    return table;
}

const QColor kDim(0, 0, 0, 200);
const QColor kCard(16, 16, 16, 245);
const QColor kBorder(45, 45, 45);
const QColor kHeading(0, 200, 180);
const QColor kTitleColour(240, 240, 240);
const QColor kKeyColour(230, 230, 230);
const QColor kDescriptionColour(190, 190, 190);
const QColor kFooterColour(128, 128, 128);

constexpr qreal kKeyColumn = 130;
constexpr qreal kPadH = 32;
constexpr qreal kPadV = 20;
constexpr qreal kColumnGap = 40;
constexpr qreal kGroupGap = 10;
constexpr qreal kTitleGap = 12;
constexpr qreal kFooterGap = 14;
constexpr qreal kAreaMargin = 8;
// Line pitch as a multiple of the font's pixel size. The CJK fallback fonts report a line
// height near 1.45 em, which would make the list too tall for a small window.
constexpr qreal kRowPitch = 1.5;
constexpr qreal kHeadingPitch = 1.75;
// Two columns read best; another arrangement wins only if it can be drawn clearly larger.
constexpr qreal kPreferTwoColumns = 0.9;

QFont koreanFont(qreal points, bool bold = false)
{
    QFont font;
    // The last family is the usual Korean face of Linux desktops, where the first two are missing.
    font.setFamilies({QStringLiteral("Malgun Gothic"), QStringLiteral("Segoe UI"), QStringLiteral("Noto Sans CJK KR")});
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

QFont keyFont()
{
    QFont font(QStringLiteral("Consolas"));
    font.setStyleHint(QFont::Monospace); // where Consolas is missing, keep a fixed-width stand-in
    font.setPointSizeF(10);
    return font;
}

struct Fonts {
    QFont title = koreanFont(14, true);
    QFont heading = koreanFont(10.5, true);
    QFont key = keyFont();
    QFont description = koreanFont(10);
    QFont footer = koreanFont(9);
};

const Fonts &fonts()
{
    static const Fonts f;
    return f;
}

QString tr8(const char *text) { return QString::fromUtf8(text); }

} // namespace

struct ShortcutOverlay::Layout {
    std::vector<std::pair<int, int>> columns; // [first group, end group) per column
    std::vector<qreal> columnWidths;
    QSizeF card;
    qreal scale = 1.0;
    qreal rowHeight = 0;
    qreal headingHeight = 0;
    qreal titleHeight = 0;
    qreal footerHeight = 0;
};

ShortcutOverlay::ShortcutOverlay(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_NoSystemBackground);
    if (parent) {
        parent->installEventFilter(this);
        setGeometry(parent->rect());
    }
    hide();
}

ShortcutOverlay::Layout ShortcutOverlay::layoutFor(int columnCount) const
{
    const Fonts &f = fonts();
    const QFontMetricsF title(f.title), heading(f.heading), description(f.description), footer(f.footer);

    Layout layout;
    const auto pitch = [](const QFont &font, qreal factor) {
        return std::ceil(QFontInfo(font).pixelSize() * factor);
    };
    layout.rowHeight = std::max(pitch(f.key, kRowPitch), pitch(f.description, kRowPitch));
    layout.headingHeight = pitch(f.heading, kHeadingPitch);
    layout.titleHeight = pitch(f.title, kRowPitch);
    layout.footerHeight = pitch(f.footer, kRowPitch);

    const auto &table = groups();
    const int groupCount = int(table.size());
    columnCount = std::clamp(columnCount, 1, groupCount);
    const auto groupHeight = [&](int g) { return layout.headingHeight + table[g].rows.size() * layout.rowHeight; };
    const auto columnHeight = [&](int first, int end) {
        qreal h = 0;
        for (int g = first; g < end; ++g)
            h += groupHeight(g) + (g > first ? kGroupGap : 0);
        return h;
    };

    // Groups keep their order; among the ways to cut them into columns, take the one whose
    // tallest column is shortest.
    std::vector<int> cuts, bestCuts;
    qreal bestHeight = std::numeric_limits<qreal>::max();
    std::function<void(int, int)> search = [&](int start, int left) {
        if (left == 1) {
            qreal tallest = columnHeight(start, groupCount);
            int previous = 0;
            for (int cut : cuts) {
                tallest = std::max(tallest, columnHeight(previous, cut));
                previous = cut;
            }
            if (tallest < bestHeight) {
                bestHeight = tallest;
                bestCuts = cuts;
            }
            return;
        }
        for (int cut = start + 1; cut <= groupCount - left + 1; ++cut) {
            cuts.push_back(cut);
            search(cut, left - 1);
            cuts.pop_back();
        }
    };
    search(0, columnCount);

    int previous = 0;
    bestCuts.push_back(groupCount);
    qreal contentWidth = 0;
    for (int cut : bestCuts) {
        qreal width = 0;
        for (int g = previous; g < cut; ++g) {
            width = std::max(width, heading.horizontalAdvance(tr8(table[g].heading)));
            for (const Shortcut &row : table[g].rows)
                width = std::max(width, kKeyColumn + description.horizontalAdvance(tr8(row.description)));
        }
        layout.columns.emplace_back(previous, cut);
        layout.columnWidths.push_back(std::ceil(width));
        contentWidth += std::ceil(width);
        previous = cut;
    }
    contentWidth += kColumnGap * (layout.columns.size() - 1);
    contentWidth = std::max({contentWidth, title.horizontalAdvance(QStringLiteral("Velmoran 단축키 가이드")),
                             footer.horizontalAdvance(QStringLiteral("아무 키나 누르거나 클릭하면 닫힙니다"))});
    layout.card = QSizeF(std::ceil(contentWidth + 2 * kPadH),
                         std::ceil(2 * kPadV + layout.titleHeight + kTitleGap + bestHeight + kFooterGap +
                                   layout.footerHeight));
    return layout;
}

ShortcutOverlay::Layout ShortcutOverlay::bestLayout() const
{
    // A short, wide area takes three columns and a narrow one a single column. If nothing fits,
    // the card is drawn smaller rather than cut off.
    const QSizeF area = QSizeF(size()) - QSizeF(2 * kAreaMargin, 2 * kAreaMargin);
    std::vector<Layout> candidates;
    for (int columns : {2, 3, 1}) {
        Layout candidate = layoutFor(columns);
        candidate.scale = std::min({1.0, area.width() / candidate.card.width(),
                                    area.height() / candidate.card.height()});
        if (candidate.scale >= 1.0 && candidates.empty())
            return candidate;
        candidates.push_back(candidate);
    }
    const Layout *best = &candidates.front();
    for (const Layout &candidate : candidates)
        if (candidate.scale * kPreferTwoColumns > best->scale)
            best = &candidate;
    Layout chosen = *best;
    chosen.scale = std::max<qreal>(chosen.scale, 0.05);
    return chosen;
}

QRectF ShortcutOverlay::cardRect() const
{
    const Layout layout = bestLayout();
    const QSizeF size = layout.card * layout.scale;
    return QRectF(QPointF((width() - size.width()) / 2, (height() - size.height()) / 2), size);
}

int ShortcutOverlay::columnCount() const
{
    return int(bestLayout().columns.size());
}

void ShortcutOverlay::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.fillRect(rect(), kDim);

    const Layout layout = bestLayout();
    const QSizeF scaled = layout.card * layout.scale;
    painter.translate((width() - scaled.width()) / 2, (height() - scaled.height()) / 2);
    painter.scale(layout.scale, layout.scale);

    const QRectF card(QPointF(0, 0), layout.card);
    painter.setPen(QPen(kBorder, 1));
    painter.setBrush(kCard);
    painter.drawRoundedRect(card.adjusted(0.5, 0.5, -0.5, -0.5), 12, 12);

    const Fonts &f = fonts();
    const qreal innerWidth = card.width() - 2 * kPadH;
    qreal y = kPadV;
    painter.setFont(f.title);
    painter.setPen(kTitleColour);
    painter.drawText(QRectF(kPadH, y, innerWidth, layout.titleHeight), Qt::AlignCenter, QStringLiteral("Velmoran 단축키 가이드"));
    y += layout.titleHeight + kTitleGap;

    const auto &table = groups();
    qreal x = kPadH;
    for (size_t c = 0; c < layout.columns.size(); ++c) {
        const auto [first, end] = layout.columns[c];
        qreal rowY = y;
        for (int g = first; g < end; ++g) {
            if (g > first)
                rowY += kGroupGap;
            painter.setFont(f.heading);
            painter.setPen(kHeading);
            painter.drawText(QRectF(x, rowY, layout.columnWidths[c], layout.headingHeight),
                             Qt::AlignLeft | Qt::AlignVCenter, tr8(table[g].heading));
            rowY += layout.headingHeight;
            for (const Shortcut &row : table[g].rows) {
                painter.setFont(f.key);
                painter.setPen(kKeyColour);
                painter.drawText(QRectF(x, rowY, kKeyColumn, layout.rowHeight), Qt::AlignLeft | Qt::AlignVCenter,
                                 tr8(row.key));
                painter.setFont(f.description);
                painter.setPen(kDescriptionColour);
                painter.drawText(QRectF(x + kKeyColumn, rowY, layout.columnWidths[c] - kKeyColumn, layout.rowHeight),
                                 Qt::AlignLeft | Qt::AlignVCenter, tr8(row.description));
                rowY += layout.rowHeight;
            }
        }
        x += layout.columnWidths[c] + kColumnGap;
    }

    painter.setFont(f.footer);
    painter.setPen(kFooterColour);
    painter.drawText(QRectF(kPadH, card.height() - kPadV - layout.footerHeight, innerWidth, layout.footerHeight),
                     Qt::AlignCenter, QStringLiteral("아무 키나 누르거나 클릭하면 닫힙니다"));
}

void ShortcutOverlay::keyPressEvent(QKeyEvent *event)
{
    // The key that opened the guide may still be held; its repeats must not close it again.
    event->accept();
    if (!event->isAutoRepeat())
        hide();
}

void ShortcutOverlay::mousePressEvent(QMouseEvent *event)
{
    event->accept();
    hide();
}

void ShortcutOverlay::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (parentWidget())
        setGeometry(parentWidget()->rect());
    if (QApplication::focusWidget() != this)
        focusBefore_ = QApplication::focusWidget();
    setFocus(Qt::OtherFocusReason);
}

void ShortcutOverlay::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // Hand the keyboard back to whoever had it (the main window's key handling), not to the next
    // widget in the focus chain.
    if (focusBefore_)
        focusBefore_->setFocus(Qt::OtherFocusReason);
    focusBefore_.clear();
}

bool ShortcutOverlay::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}
