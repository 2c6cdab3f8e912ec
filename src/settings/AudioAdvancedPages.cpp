// The two tabs of the high-end audio page. Each scrolls inside the panel when the window is
// small, rather than drawing its rows over each other.
#include "settings/AudioAdvancedWidget.h"

#include "ui/controls/PanelParts.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

namespace {
constexpr int kButtonHeight = 24;

QLabel *note(const QString &text)
{
    auto *label = new QLabel(text);
    label->setProperty("role", QStringLiteral("note"));
    label->setWordWrap(true);
    return label;
}

QLabel *statusLabel(const QString &objectName)
{
    auto *label = new QLabel;
    label->setObjectName(objectName);
    label->setWordWrap(true);
    return label;
}

// A tab of the page: its explanation on top, the rest added below by the caller.
QVBoxLayout *pageColumn(QWidget *page, const QString &explanation)
{
    page->setObjectName(QStringLiteral("AudioAdvancedPage"));
    auto *column = new QVBoxLayout(page);
    column->setContentsMargins(12, 10, 12, 10);
    column->setSpacing(6);
    column->addWidget(note(explanation));
    return column;
}
} // namespace

QWidget *AudioAdvancedWidget::buildRoomPage()
{
    auto *page = new QWidget;
    QVBoxLayout *column = pageColumn(page, QStringLiteral("REW(Room EQ Wizard) 등에서 생성한 임펄스 응답(IR) WAV 파일을 로드하여\n"
                                                          "실내 음향 특성을 보정합니다. 스테레오 또는 모노 IR 파일을 지원합니다."));

    column->addWidget(PanelParts::caption(QStringLiteral("임펄스 응답 (IR) 파일")));
    auto *fileRow = new QHBoxLayout;
    irFileLabel_ = new QLabel(QStringLiteral("파일을 선택하세요..."));
    irFileLabel_->setObjectName(QStringLiteral("irFileLabel"));
    auto *browse = PanelParts::button(QStringLiteral("찾아보기..."), QStringLiteral("IR WAV 파일 선택"), kButtonHeight);
    browse->setFixedWidth(80);
    connect(browse, &QPushButton::clicked, this, &AudioAdvancedWidget::onBrowseIrFile);
    fileRow->addWidget(irFileLabel_, 1);
    fileRow->addWidget(browse);
    column->addLayout(fileRow);
    irInfoLabel_ = note(QString());
    column->addWidget(irInfoLabel_);

    convolutionCheck_ = new QCheckBox(QStringLiteral("컨볼루션 룸 코렉션 활성화"));
    convolutionCheck_->setObjectName(QStringLiteral("convolutionCheck"));
    convolutionCheck_->setEnabled(false);
    connect(convolutionCheck_, &QCheckBox::toggled, this, &AudioAdvancedWidget::onConvolutionToggled);
    normalizeCheck_ = new QCheckBox(QStringLiteral("IR 피크 정규화"));
    normalizeCheck_->setObjectName(QStringLiteral("normalizeCheck"));
    normalizeCheck_->setToolTip(QStringLiteral("IR의 최대 샘플이 0 dBFS가 되도록 맞춘 뒤 게인을 적용합니다"));
    connect(normalizeCheck_, &QCheckBox::toggled, this, [this] {
        if (!loading_ && convolutionCheck_->isChecked())
            applyConvolution();
        saveSettings();
    });
    auto *checks = new QHBoxLayout;
    checks->addWidget(convolutionCheck_);
    checks->addSpacing(16);
    checks->addWidget(normalizeCheck_);
    checks->addStretch(1);
    column->addLayout(checks);

    column->addWidget(PanelParts::caption(QStringLiteral("출력 게인 보정")));
    auto *gainRow = new QHBoxLayout;
    gainSlider_ = new QSlider(Qt::Horizontal);
    gainSlider_->setObjectName(QStringLiteral("gainSlider"));
    gainSlider_->setRange(-12, 12);
    gainSlider_->setTickInterval(3);
    gainSlider_->setTickPosition(QSlider::TicksBelow);
    gainSlider_->setFocusPolicy(Qt::NoFocus);
    gainValueLabel_ = new QLabel(QStringLiteral("0 dB"));
    gainValueLabel_->setObjectName(QStringLiteral("gainValueLabel"));
    gainValueLabel_->setFixedWidth(48);
    connect(gainSlider_, &QSlider::valueChanged, this, &AudioAdvancedWidget::onGainChanged);
    gainRow->addWidget(new QLabel(QStringLiteral("게인:")));
    gainRow->addWidget(gainSlider_, 1);
    gainRow->addWidget(gainValueLabel_);
    column->addLayout(gainRow);

    roomStatus_ = statusLabel(QStringLiteral("roomStatus"));
    setStatus(roomStatus_, QStringLiteral("비활성"), "off");
    column->addWidget(roomStatus_);
    column->addStretch(1);
    return PanelParts::scroller(page);
}

QWidget *AudioAdvancedWidget::buildPluginPage()
{
    auto *page = new QWidget;
    QVBoxLayout *column = pageColumn(page, QStringLiteral("LADSPA 플러그인을 등록하면 재생 시 실시간 오디오 체인에 적용됩니다.\n"
                                                          "Linux: LADSPA 플러그인 .so 파일을 지원합니다 (LV2는 지원하지 않습니다).\n"
                                                          "플러그인 적용 순서는 드래그로 변경할 수 있습니다."));

    column->addWidget(PanelParts::caption(QStringLiteral("등록된 LADSPA 플러그인")));
    pluginList_ = new QListWidget;
    pluginList_->setObjectName(QStringLiteral("pluginList"));
    pluginList_->setMinimumHeight(120);
    // It takes the height the panel has, from its minimum on, rather than asking for more.
    pluginList_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Ignored);
    pluginList_->setDragDropMode(QAbstractItemView::InternalMove);
    pluginList_->setDefaultDropAction(Qt::MoveAction);
    // A drop reorders by removing and inserting rows: the new order applies once it settles.
    connect(pluginList_->model(), &QAbstractItemModel::rowsMoved, this, &AudioAdvancedWidget::onPluginsChanged);
    connect(pluginList_->model(), &QAbstractItemModel::rowsInserted, this, [this] {
        if (!loading_)
            QTimer::singleShot(0, this, &AudioAdvancedWidget::onPluginsChanged);
    });
    connect(pluginList_, &QListWidget::currentRowChanged, this, &AudioAdvancedWidget::onCurrentPluginChanged);

    // The buttons stand beside the list, so the list keeps its rows when the panel is low.
    auto *add = PanelParts::button(QStringLiteral("+ 플러그인 추가"), QStringLiteral("LADSPA .so 파일 추가"), kButtonHeight);
    removeButton_ = PanelParts::button(QStringLiteral("- 제거"), QStringLiteral("선택한 플러그인 제거"), kButtonHeight);
    removeButton_->setEnabled(false);
    connect(add, &QPushButton::clicked, this, &AudioAdvancedWidget::onAddPlugin);
    connect(removeButton_, &QPushButton::clicked, this, &AudioAdvancedWidget::onRemovePlugin);
    auto *buttons = new QVBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(removeButton_);
    buttons->addStretch(1);
    auto *listRow = new QHBoxLayout;
    listRow->addWidget(pluginList_, 1);
    listRow->addLayout(buttons);
    column->addLayout(listRow, 1);

    // The chain's settings stand to the right of the list, so both fit the panel's height.
    auto *settings = new QVBoxLayout;
    settings->setSpacing(6);
    auto *controlsRow = new QHBoxLayout;
    controlsEdit_ = new QLineEdit;
    controlsEdit_->setObjectName(QStringLiteral("controlsEdit"));
    controlsEdit_->setPlaceholderText(QStringLiteral("예: c0=0.5|c1=2 (비우면 기본값)"));
    controlsEdit_->setFixedHeight(22);
    controlsEdit_->setEnabled(false);
    connect(controlsEdit_, &QLineEdit::editingFinished, this, &AudioAdvancedWidget::onControlsEdited);
    controlsRow->addWidget(new QLabel(QStringLiteral("컨트롤:")));
    controlsRow->addWidget(controlsEdit_, 1);
    settings->addLayout(controlsRow);
    controlsHint_ = note(QString());
    settings->addWidget(controlsHint_);

    settings->addWidget(note(QStringLiteral("플러그인 적용: MPV af 체인을 통해 실시간 처리됩니다. "
                                          "재생 중 적용 시 잠시 끊길 수 있습니다.")));
    pluginsCheck_ = new QCheckBox(QStringLiteral("플러그인 체인 활성화"));
    pluginsCheck_->setObjectName(QStringLiteral("pluginsCheck"));
    connect(pluginsCheck_, &QCheckBox::toggled, this, [this] {
        if (loading_)
            return;
        applyPlugins();
        saveSettings();
    });
    auto *apply = PanelParts::button(QStringLiteral("지금 적용"), QStringLiteral("플러그인 체인을 재생에 적용"), 26);
    apply->setObjectName(QStringLiteral("applyPluginsButton"));
    connect(apply, &QPushButton::clicked, this, &AudioAdvancedWidget::applyPlugins);
    auto *applyRow = new QHBoxLayout;
    applyRow->addWidget(pluginsCheck_);
    applyRow->addStretch(1);
    applyRow->addWidget(apply);
    settings->addLayout(applyRow);
    pluginStatus_ = statusLabel(QStringLiteral("pluginStatus"));
    setStatus(pluginStatus_, QStringLiteral("비활성"), "off");
    settings->addWidget(pluginStatus_);
    settings->addStretch(1);

    auto *outer = new QWidget;
    outer->setObjectName(QStringLiteral("AudioAdvancedPage"));
    auto *columns = new QHBoxLayout(outer);
    columns->setContentsMargins(0, 10, 12, 10);
    columns->addWidget(page, 3);
    columns->addLayout(settings, 2);
    return PanelParts::scroller(outer);
}
