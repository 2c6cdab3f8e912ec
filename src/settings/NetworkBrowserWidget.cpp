#include "settings/NetworkBrowserWidget.h"

#include "app/AppIdentity.h"
#include "app/SettingsKeys.h"
#include "engine/MpvCore.h"
#include "online/CastSession.h"
#include "online/MediaStreamServer.h"
#include "settings/CastDiscovery.h"
#include "settings/PageStyle.h"
#include "settings/SmbShare.h"
#include "ui/controls/PanelParts.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace {

struct Projection {
    const char *label;
    const char *value;
};
constexpr Projection kProjections[] = {
    {"equirectangular (등장방형, 일반 360°)", "equirectangular"},
    {"fisheye (어안렌즈)", "fisheye"},
    {"hequirectangular (반구)", "hequirectangular"},
    {"eac (YouTube 360°)", "eac"},
};

constexpr const char *kGreen = "#4caf50";
constexpr const char *kGrey = "#666";
constexpr const char *kRed = "#e57373";
constexpr quint16 kStreamPort = 8080;

const QString kPageStyle = PageStyle::sheet({QStringLiteral("NetworkBrowserWidget")});

constexpr int kControlHeight = 22;

QPushButton *pageButton(const QString &text)
{
    return PanelParts::button(text, text, kControlHeight);
}

QLabel *statusLabel(const QString &objectName)
{
    auto *label = new QLabel;
    label->setObjectName(objectName);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    return label;
}

} // namespace

NetworkBrowserWidget::NetworkBrowserWidget(MpvCore *core, QWidget *parent)
    : QWidget(parent), core_(core),
      settings_(QLatin1StringView(AppIdentity::kOrganisation), QLatin1StringView(AppIdentity::kSettingsApplication)),
      mounter_(new SmbMounter(this))
{
    setObjectName(QStringLiteral("NetworkBrowserWidget"));
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(kPageStyle);

    auto *tabs = new QTabWidget;
    tabs->setFocusPolicy(Qt::NoFocus);
    // A tab taller than the panel (a long cast status) scrolls instead of drawing over itself.
    tabs->addTab(PanelParts::scroller(createSmbTab()), QStringLiteral("SMB/NAS"));
    tabs->addTab(PanelParts::scroller(create360Tab()), QStringLiteral("360° VR"));
    tabs->addTab(PanelParts::scroller(createCastTab()), QStringLiteral("캐스팅"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->addWidget(tabs);

    connect(mounter_, &SmbMounter::ready, this, &NetworkBrowserWidget::openFileRequested);
    connect(mounter_, &SmbMounter::failed, this, [this](const QString &reason) {
        smbStatus_->setText(QStringLiteral("네트워크 공유를 열 수 없습니다: ") + reason);
    });

    loadSettings();
}

QWidget *NetworkBrowserWidget::createSmbTab()
{
    auto *hint = new QLabel(QStringLiteral("NAS나 네트워크 공유 폴더의 UNC 경로를 입력하여 미디어를 재생합니다.\n"
                                           "예: \\\\192.168.0.10\\media\\movie.mkv → smb://192.168.0.10/media/movie.mkv"));
    pathEdit_ = new QLineEdit;
    pathEdit_->setObjectName(QStringLiteral("smbPathEdit"));
    pathEdit_->setPlaceholderText(QStringLiteral("\\\\서버이름\\공유폴더\\파일명.mkv"));
    pathEdit_->setFixedHeight(kControlHeight);
    auto *openButton = pageButton(QStringLiteral("열기"));
    auto *addButton = pageButton(QStringLiteral("즐겨찾기 추가"));
    auto *pathRow = new QHBoxLayout;
    pathRow->addWidget(pathEdit_, 1);
    pathRow->addWidget(openButton);
    pathRow->addWidget(addButton);
    auto *pathGroup = new QGroupBox(QStringLiteral("네트워크 경로 직접 열기"));
    auto *pathColumn = new QVBoxLayout(pathGroup);
    pathColumn->addLayout(pathRow);

    favorites_ = new QListWidget;
    favorites_->setObjectName(QStringLiteral("smbFavorites"));
    auto *removeButton = pageButton(QStringLiteral("즐겨찾기 제거"));
    auto *favoriteGroup = new QGroupBox(QStringLiteral("즐겨찾기"));
    auto *favoriteColumn = new QVBoxLayout(favoriteGroup);
    favoriteColumn->addWidget(favorites_, 1);
    favoriteColumn->addWidget(removeButton, 0, Qt::AlignRight);

    smbStatus_ = statusLabel(QStringLiteral("smbStatus"));

    auto *page = new QWidget;
    auto *column = new QVBoxLayout(page);
    column->addWidget(hint);
    column->addWidget(pathGroup);
    column->addWidget(favoriteGroup, 1);
    column->addWidget(smbStatus_);

    connect(openButton, &QPushButton::clicked, this, &NetworkBrowserWidget::onSmbConnect);
    connect(pathEdit_, &QLineEdit::returnPressed, this, &NetworkBrowserWidget::onSmbConnect);
    connect(addButton, &QPushButton::clicked, this, &NetworkBrowserWidget::onSmbFavoriteAdd);
    connect(favorites_, &QListWidget::itemDoubleClicked, this, &NetworkBrowserWidget::onSmbFavoriteOpen);
    connect(removeButton, &QPushButton::clicked, this, [this] {
        delete favorites_->currentItem();
        saveSettings();
    });
    return page;
}

QWidget *NetworkBrowserWidget::create360Tab()
{
    auto *hint = new QLabel(QStringLiteral("360도 VR 영상을 구면 투영으로 재생합니다.\n마우스 드래그로 시점을 이동할 수 있습니다."));
    vrCheck_ = new QCheckBox(QStringLiteral("360° VR 모드 활성화"));
    vrCheck_->setObjectName(QStringLiteral("vr360Check"));
    vrCheck_->setFocusPolicy(Qt::NoFocus);
    projectionBox_ = new QComboBox;
    projectionBox_->setObjectName(QStringLiteral("projectionBox"));
    projectionBox_->setFocusPolicy(Qt::NoFocus);
    projectionBox_->setFixedHeight(kControlHeight);
    for (const Projection &projection : kProjections)
        projectionBox_->addItem(QString::fromUtf8(projection.label), QString::fromLatin1(projection.value));
    auto *projectionRow = new QHBoxLayout;
    projectionRow->addWidget(new QLabel(QStringLiteral("투영 방식:")));
    projectionRow->addWidget(projectionBox_, 1);
    auto *group = new QGroupBox(QStringLiteral("360° VR 재생 설정"));
    auto *groupColumn = new QVBoxLayout(group);
    groupColumn->addWidget(vrCheck_);
    groupColumn->addLayout(projectionRow);
    groupColumn->addWidget(new QLabel(QStringLiteral("팁: 360° 영상 재생 중 마우스 드래그로 시점 이동,\n스크롤로 줌 인/아웃이 가능합니다.")));

    vrStatus_ = statusLabel(QStringLiteral("vr360Status"));
    setVrStatus(QStringLiteral("360° VR 비활성"), kGrey);

    auto *page = new QWidget;
    auto *column = new QVBoxLayout(page);
    column->addWidget(hint);
    column->addWidget(group);
    column->addWidget(vrStatus_);
    column->addStretch();

    connect(vrCheck_, &QCheckBox::toggled, this, &NetworkBrowserWidget::on360Toggle);
    connect(projectionBox_, &QComboBox::currentIndexChanged, this, &NetworkBrowserWidget::onProjectionChanged);
    return page;
}

QWidget *NetworkBrowserWidget::createCastTab()
{
    auto *hint = new QLabel(QStringLiteral("재생 중인 미디어를 스마트 TV나 오디오 기기로 무선 캐스팅합니다.\n"
                                           "크롬캐스트: 같은 Wi-Fi에 연결된 기기의 IP를 입력하세요.\n"
                                           "AirPlay: Apple TV 또는 AirPlay 지원 기기의 IP를 입력하세요."));
    castIpEdit_ = new QLineEdit;
    castIpEdit_->setObjectName(QStringLiteral("castIpEdit"));
    castIpEdit_->setPlaceholderText(QStringLiteral("192.168.1.xxx"));
    castIpEdit_->setFixedHeight(kControlHeight);
    auto *startButton = pageButton(QStringLiteral("캐스팅 시작"));
    auto *scanButton = pageButton(QStringLiteral("크롬캐스트 자동 검색"));
    auto *deviceRow = new QHBoxLayout;
    deviceRow->addWidget(new QLabel(QStringLiteral("기기 IP:")));
    deviceRow->addWidget(castIpEdit_, 1);
    deviceRow->addWidget(startButton);
    auto *deviceGroup = new QGroupBox(QStringLiteral("캐스팅 대상 기기"));
    auto *deviceColumn = new QVBoxLayout(deviceGroup);
    deviceColumn->addLayout(deviceRow);
    deviceColumn->addWidget(scanButton, 0, Qt::AlignLeft);

    auto *noteGroup = new QGroupBox(QStringLiteral("캐스팅 안내"));
    auto *noteColumn = new QVBoxLayout(noteGroup);
    noteColumn->addWidget(new QLabel(QStringLiteral("크롬캐스트 네이티브 Cast 프로토콜로 미디어를 전송합니다.\n"
                                                    "같은 Wi-Fi 네트워크에 연결된 크롬캐스트 기기의 IP를 입력하거나\n"
                                                    "아래 검색 버튼으로 자동 검색합니다. (포트: 8009)")));
    castStatus_ = statusLabel(QStringLiteral("castStatus"));

    // Side by side, so that a long status (a failed cast) still fits the panel.
    auto *page = new QWidget;
    auto *left = new QVBoxLayout;
    left->addWidget(hint);
    left->addWidget(deviceGroup);
    left->addStretch();
    auto *right = new QVBoxLayout;
    right->addWidget(noteGroup);
    right->addWidget(castStatus_);
    right->addStretch();
    auto *columns = new QHBoxLayout(page);
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);

    connect(startButton, &QPushButton::clicked, this, &NetworkBrowserWidget::onCastStart);
    connect(scanButton, &QPushButton::clicked, this, &NetworkBrowserWidget::discoverCastDevices);
    return page;
}

QString NetworkBrowserWidget::toSmbUrl(const QString &path)
{
    if (!path.startsWith(QLatin1String("\\\\")))
        return path;
    QString rest = path.mid(2);
    rest.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return QStringLiteral("smb://") + rest;
}

QString NetworkBrowserWidget::smbStatusText() const
{
    return smbStatus_->text();
}

QString NetworkBrowserWidget::vr360StatusText() const
{
    return vrStatus_->text();
}

QString NetworkBrowserWidget::castStatusText() const
{
    return castStatus_->text();
}

void NetworkBrowserWidget::loadSettings()
{
    favorites_->clear();
    favorites_->addItems(readSetting(settings_, SettingsKeys::networkSmbFavorites));
    castIpEdit_->setText(readSetting(settings_, SettingsKeys::networkCastIp));
    // A view left on stays on: ticking the box applies it (to the next file when none plays).
    vrCheck_->setChecked(readSetting(settings_, SettingsKeys::networkVr360Enabled));
}

void NetworkBrowserWidget::saveSettings()
{
    QStringList favorites;
    for (int row = 0; row < favorites_->count(); ++row)
        favorites << favorites_->item(row)->text();
    writeSetting(settings_, SettingsKeys::networkSmbFavorites, favorites);
    writeSetting(settings_, SettingsKeys::networkVr360Enabled, vrCheck_->isChecked());
    writeSetting(settings_, SettingsKeys::networkCastIp, castIpEdit_->text());
}

void NetworkBrowserWidget::openPath(const QString &path)
{
    // The engine reads no smb:// itself: the share is mounted first and the file opened from
    // the mount, or the reason it cannot be is shown.
    if (path.startsWith(QLatin1String("smb://"), Qt::CaseInsensitive))
        mounter_->open(path);
    else
        emit openFileRequested(path);
}

void NetworkBrowserWidget::onSmbConnect()
{
    const QString typed = pathEdit_->text().trimmed();
    if (typed.isEmpty())
        return;
    const QString url = toSmbUrl(typed);
    smbStatus_->setText(QStringLiteral("열기 요청: ") + url);
    openPath(url);
    saveSettings();
}

void NetworkBrowserWidget::onSmbFavoriteAdd()
{
    const QString typed = pathEdit_->text().trimmed();
    if (typed.isEmpty() || !favorites_->findItems(typed, Qt::MatchExactly | Qt::MatchCaseSensitive).isEmpty())
        return;
    favorites_->addItem(typed);
    saveSettings();
}

void NetworkBrowserWidget::onSmbFavoriteOpen(QListWidgetItem *item)
{
    if (!item)
        return;
    const QString url = toSmbUrl(item->text());
    smbStatus_->setText(QStringLiteral("열기 요청: ") + url);
    openPath(url);
}

void NetworkBrowserWidget::setVrStatus(const QString &text, const char *colour)
{
    vrStatus_->setText(text);
    vrStatus_->setStyleSheet(QStringLiteral("color:%1;").arg(QLatin1String(colour)));
}

void NetworkBrowserWidget::on360Toggle(bool on)
{
    if (core_) {
        if (on && !core_->setVr360Projection(projectionBox_->currentData().toString())) {
            // The box does not claim a view the engine does not show.
            const QSignalBlocker blocker(vrCheck_);
            vrCheck_->setChecked(false);
            setVrStatus(QStringLiteral("360° VR을 적용할 수 없습니다 (영상 필터 오류)"), kRed);
            saveSettings();
            return;
        }
        if (!on)
            core_->setVr360Projection(QString());
    }
    if (on)
        setVrStatus(QStringLiteral("360° VR 활성화 — 마우스로 시점 이동"), kGreen);
    else
        setVrStatus(QStringLiteral("360° VR 비활성"), kGrey);
    saveSettings();
}

void NetworkBrowserWidget::onProjectionChanged(int index)
{
    if (!core_ || !vrCheck_->isChecked() || index < 0)
        return;
    if (!core_->setVr360Projection(projectionBox_->itemData(index).toString()))
        setVrStatus(QStringLiteral("이 투영 방식을 적용할 수 없습니다"), kRed);
    else
        setVrStatus(QStringLiteral("360° VR 활성화 — 마우스로 시점 이동"), kGreen);
}

void NetworkBrowserWidget::discoverCastDevices()
{
    castStatus_->setText(QStringLiteral("크롬캐스트 검색 중... (포트 8009)"));
    const QHostAddress local = CastDiscovery::localIPv4();
    const bool overridden = qEnvironmentVariableIsSet("VELMORAN_CAST_DISCOVERY_HOSTS");
    if (local.isNull() && !overridden) {
        castStatus_->setText(QStringLiteral("네트워크 인터페이스를 찾을 수 없습니다."));
        return;
    }
    const QString address = local.toString();
    const QString prefix = address.left(address.lastIndexOf(QLatin1Char('.')) + 1);
    castStatus_->setText(QStringLiteral("서브넷 %1x 스캔 중... (백그라운드)\n크롬캐스트 발견 시 IP 주소가 자동 입력됩니다.")
                             .arg(prefix));
    // One scan at a time: a new one ends the last, whose replies would otherwise still fill in
    // a device.
    delete scan_;
    scan_ = new CastScan(CastDiscovery::targets(prefix), this);
    connect(scan_, &CastScan::found, this, [this](const QString &device) {
        castIpEdit_->setText(device);
        castStatus_->setText(QStringLiteral("크롬캐스트 발견: %1\n기기 IP가 자동 입력되었습니다.").arg(device));
        saveSettings();
    });
    connect(scan_, &CastScan::finished, this, [this, scan = scan_] {
        if (castStatus_->text().startsWith(QStringLiteral("서브넷")))
            castStatus_->setText(castStatus_->text() + QStringLiteral("\n응답한 크롬캐스트 기기가 없습니다."));
        scan->deleteLater();
        if (scan_ == scan)
            scan_ = nullptr;
    });
}

void NetworkBrowserWidget::onCastStart()
{
    const QString device = castIpEdit_->text().trimmed();
    if (device.isEmpty()) {
        castStatus_->setText(QStringLiteral("오류: IP 주소를 입력하세요."));
        return;
    }
    if (!core_)
        return;
    const QString current = core_->currentPath();
    if (current.isEmpty()) {
        castStatus_->setText(QStringLiteral("오류: 재생 중인 파일이 없습니다."));
        return;
    }
    const QHostAddress localAddress = CastDiscovery::localIPv4();
    const QString local = localAddress.isNull() ? QStringLiteral("127.0.0.1") : localAddress.toString();

    // A web address the device fetches itself; a file of ours is served to it over HTTP.
    const QUrl currentUrl(current);
    QString streamUrl;
    const QString contentType = MediaStreamServer::contentType(currentUrl.isLocalFile() ? currentUrl.toLocalFile() : current);
    if (currentUrl.scheme() == QLatin1String("http") || currentUrl.scheme() == QLatin1String("https")) {
        streamUrl = current;
    } else {
        delete streamServer_;
        streamServer_ = new MediaStreamServer(this);
        const QString file = currentUrl.isLocalFile() ? currentUrl.toLocalFile() : current;
        // The usual port when free, so the address stays the same between casts.
        if (!streamServer_->serve(file, kStreamPort) && !streamServer_->serve(file)) {
            castStatus_->setText(QStringLiteral("오류: 재생 중인 파일을 기기에 제공할 수 없습니다."));
            return;
        }
        streamUrl = QStringLiteral("http://%1:%2/stream").arg(local).arg(streamServer_->serverPort());
    }
    castStatus_->setText(QStringLiteral("스트리밍 URL: %1\n크롬캐스트/AirPlay 장치에서 \"Google Home\" 앱 또는\n"
                                        "\"AirPlay\" 설정에서 위 URL을 입력하세요.\n"
                                        "또는 VLC 및 호환 플레이어에서 \"\\\\%2\\stream\" 접속")
                             .arg(streamUrl, local));

    // The field holds the device as discovery found it (host, perhaps with its HTTP port); the
    // cast protocol has its own port.
    const QString host = QUrl(QStringLiteral("http://") + device).host();
    bool portGiven = false;
    const int castPort = qEnvironmentVariableIntValue("VELMORAN_CAST_PORT", &portGiven);
    delete cast_;
    cast_ = new CastSession(this);
    connect(cast_, &CastSession::playing, this, [this, device] {
        castStatus_->setText(QStringLiteral("캐스팅 시작됨: %1\n크롬캐스트 기기에서 재생 중입니다.").arg(device));
    });
    connect(cast_, &CastSession::ended, this, [this] {
        // The file is served to the device for this cast only.
        delete streamServer_;
        streamServer_ = nullptr;
        castStatus_->setText(QStringLiteral("캐스팅이 끝났습니다."));
    });
    connect(cast_, &CastSession::failed, this, [this, streamUrl](const QString &reason) {
        castStatus_->setText(QStringLiteral("Cast 프로토콜 전송 실패. 수동 연결:\n스트리밍 URL: %1\n"
                                            "크롬캐스트 앱에서 위 URL을 입력하세요.\n(%2)")
                                 .arg(streamUrl, reason));
    });
    cast_->start(host, portGiven && castPort > 0 ? quint16(castPort) : CastProtocol::kDevicePort, streamUrl, contentType);
    emit castRequested(device);
    saveSettings();
}
