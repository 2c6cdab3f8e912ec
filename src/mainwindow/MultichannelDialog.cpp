#include "mainwindow/MultichannelDialog.h"

#include "app/SettingsKeys.h"
#include "engine/MpvCore.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

namespace {

// The last family is the usual Korean face of Linux desktops, where the first two are missing.
#define VELMORAN_DIALOG_FONTS "font-family: 'Malgun Gothic', 'Segoe UI', 'Noto Sans CJK KR';"
const char *const kDialogStyle =
    "QDialog { background: #141414; }"
    "QLabel { color: #cccccc; font-size: 13px; background: transparent; " VELMORAN_DIALOG_FONTS " }"
    "QLabel#heading { color: #00c8b4; font-size: 15px; font-weight: bold; }"
    "QPushButton { background: #2a2a2a; color: #dddddd; border: 1px solid #3a3a3a; border-radius: 4px;"
    "  padding: 7px 16px; font-size: 12px; " VELMORAN_DIALOG_FONTS " }"
    "QPushButton:hover { background: #333333; border-color: #555555; }"
    "QPushButton#btnExclusive { background: #00c8b4; color: #000000; border: 1px solid #00c8b4; font-weight: bold; }"
    "QPushButton#btnExclusive:hover { background: #1ee0cc; border-color: #1ee0cc; }";
#undef VELMORAN_DIALOG_FONTS

} // namespace

MultichannelDialog::MultichannelDialog(int channels, QSettings &settings, MpvCore *core, QWidget *parent)
    : QDialog(parent)
    , settings_(settings)
    , core_(core)
{
    const QString label = channelLabel(channels);
    setWindowTitle(QStringLiteral("멀티체널 오디오 감지"));
    setModal(true);
    setFixedSize(kWidth, kHeight);
    setStyleSheet(QLatin1String(kDialogStyle));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 20, 24, 20);
    layout->setSpacing(12);

    auto *heading = new QLabel(QStringLiteral("🔊  %1 서라운드 파일이 감지되었습니다").arg(label), this);
    heading->setObjectName(QStringLiteral("heading"));
    layout->addWidget(heading);

    auto *body = new QLabel(this);
    body->setTextFormat(Qt::RichText);
    body->setWordWrap(true);
    body->setText(QStringLiteral("현재 <b>공유 모드</b>로 재생 중입니다.<br>%1 서라운드를 완벽하게 듣려면 "
                                 "<b>독점 모드</b>로 전환하세요.<br><span style='color:#888;font-size:11px;'>"
                                 "⚠️ 독점 모드 전환 시 다른 앱의 소리가 일시적으로 차단될 수 있습니다.</span>")
                      .arg(label));
    layout->addWidget(body);
    layout->addStretch(1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto *keepShared = new QPushButton(QStringLiteral("공유 모드 유지"), this);
    auto *exclusive = new QPushButton(QStringLiteral("🔊  독점 모드로 전환"), this);
    exclusive->setObjectName(QStringLiteral("btnExclusive"));
    // Enter must not silence the user's other applications by accident.
    keepShared->setDefault(true);
    exclusive->setAutoDefault(false);
    buttons->addWidget(keepShared);
    buttons->addWidget(exclusive);
    layout->addLayout(buttons);

    connect(keepShared, &QPushButton::clicked, this, &QDialog::reject);
    connect(exclusive, &QPushButton::clicked, this, &MultichannelDialog::onSwitchToExclusive);
}

QString MultichannelDialog::channelLabel(int channels)
{
    switch (channels) {
    case 6:
        return QStringLiteral("5.1");
    case 8:
        return QStringLiteral("7.1");
    default:
        return QStringLiteral("%1ch").arg(channels);
    }
}

bool MultichannelDialog::shouldSuggest(int channels, bool alreadyPrompted, const QString &audioExclusiveProperty)
{
    return channels >= kMinSurroundChannels && !alreadyPrompted && audioExclusiveProperty != QLatin1String("yes");
}

void MultichannelDialog::onSwitchToExclusive()
{
    writeSetting(settings_, SettingsKeys::audioExclusive, true);
    // The engine may take the output away from the desktop right after; the choice is on disk first.
    settings_.sync();
    if (core_)
        core_->setAudioExclusive(true);
    accept();
}
