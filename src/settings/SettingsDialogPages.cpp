// The four tabs of the preferences window. Texts follow the player's Windows wording except
// where a control would promise something this system does not do.
#include "settings/SettingsDialog.h"

#include "engine/MpvCore.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QSlider>
#include <QStandardItemModel>
#include <QVBoxLayout>

namespace {

QLabel *note(const QString &text, const char *colour, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setWordWrap(true);
    label->setStyleSheet(QStringLiteral("color: %1; font-size: 11px;").arg(QLatin1String(colour)));
    return label;
}

QComboBox *combo(const QStringList &items, QWidget *parent)
{
    auto *box = new QComboBox(parent);
    box->addItems(items);
    return box;
}

// Items from `first` on are listed for what they are, greyed out, with the reason on hover.
void listWithoutOffering(QComboBox *box, int first, const QString &reason)
{
    auto *items = qobject_cast<QStandardItemModel *>(box->model());
    for (int row = first; row < box->count(); ++row) {
        items->item(row)->setEnabled(false);
        items->item(row)->setToolTip(reason);
    }
}

// A group of form rows inside the page's column.
QFormLayout *addGroup(QVBoxLayout *column, const QString &title)
{
    auto *group = new QGroupBox(title);
    auto *form = new QFormLayout(group);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    form->setLabelAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    column->addWidget(group);
    return form;
}

// A page scrolls instead of squeezing its groups when the window is small.
QWidget *scrolling(QWidget *content, QVBoxLayout *column)
{
    column->addStretch(1);
    auto *area = new QScrollArea;
    area->setWidgetResizable(true);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidget(content);
    return area;
}

QWidget *sliderWithLabel(QSlider *slider, QLabel *label)
{
    auto *row = new QWidget;
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(slider, 1);
    label->setMinimumWidth(44);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(label);
    return row;
}

QLineEdit *keyField(const QString &placeholder, bool secret)
{
    auto *edit = new QLineEdit;
    edit->setPlaceholderText(placeholder);
    if (secret)
        edit->setEchoMode(QLineEdit::Password);
    return edit;
}

} // namespace

QWidget *SettingsDialog::buildAudioTab()
{
    auto *page = new QWidget;
    auto *column = new QVBoxLayout(page);

    QFormLayout *output = addGroup(column, QStringLiteral("오디오 출력 장치"));
    deviceCombo_ = new QComboBox;
    deviceCombo_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    deviceCombo_->setMinimumContentsLength(20);
    auto *refresh = new QPushButton(QStringLiteral("새로고침"));
    connect(refresh, &QPushButton::clicked, this, &SettingsDialog::refreshAudioDevices);
    auto *deviceRow = new QHBoxLayout;
    deviceRow->addWidget(deviceCombo_, 1);
    deviceRow->addWidget(refresh);
    output->addRow(QStringLiteral("출력 장치:"), deviceRow);
    // No Linux output shares the device on its own terms the way WASAPI does; what comes closest
    // is picking an ALSA hardware device, which the notes say.
    exclusiveCheck_ = new QCheckBox(QStringLiteral("Exclusive Mode (독점 모드)"));
    output->addRow(exclusiveCheck_);
    exclusiveNote_ = note(QStringLiteral("⚠️  독점 모드 활성화 시 다른 앱의 소리가 일시적으로 차단될 수 있습니다.\n"
                                         "Dolby Atmos / DTS:X 패스스루 및 Bit-Perfect 재생에는 이 모드가 필요합니다.\n"
                                         "Linux에서는 ALSA 하드웨어 장치(alsa/hw:…)를 출력 장치로 고르세요."),
                          "#e0a030", page);
    sharedNote_ = note(QStringLiteral("✅  공유 모드: 다른 앱과 동시에 소리를 재생할 수 있습니다.\n"
                                      "5.1 / 7.1 서라운드는 시스템 사운드 설정에서 채널 수를 설정하면 지원됩니다.\n"
                                      "⚠️  Dolby Atmos / DTS:X 패스스루는 지원되지 않습니다. (독점 모드 필요)"),
                       "#3cb371", page);
    output->addRow(exclusiveNote_);
    output->addRow(sharedNote_);
    connect(exclusiveCheck_, &QCheckBox::toggled, this, [this](bool on) {
        exclusiveNote_->setVisible(on);
        sharedNote_->setVisible(!on);
    });

    QFormLayout *passthrough = addGroup(column, QStringLiteral("오디오 패스스루 (비트스트림 전송)"));
    passthroughCheck_ = new QCheckBox(QStringLiteral("패스스루 활성화 (AV 리시버 디코딩)"));
    passthrough->addRow(passthroughCheck_);
    passthrough->addRow(note(QStringLiteral("활성화 시 아래 선택한 포맷을 디코딩 없이 AV 리시버로 전송합니다."), "#888888", page));
    ac3Check_ = new QCheckBox(QStringLiteral("Dolby Digital (AC3)"));
    eac3Check_ = new QCheckBox(QStringLiteral("Dolby Digital+ (E-AC3)"));
    dtsCheck_ = new QCheckBox(QStringLiteral("DTS Core"));
    dtsHdCheck_ = new QCheckBox(QStringLiteral("DTS-HD MA"));
    trueHdCheck_ = new QCheckBox(QStringLiteral("TrueHD / Atmos"));
    for (QCheckBox *format : {ac3Check_, eac3Check_, dtsCheck_, dtsHdCheck_, trueHdCheck_})
        passthrough->addRow(format);

    QFormLayout *volume = addGroup(column, QStringLiteral("볼륨"));
    volumeSlider_ = new QSlider(Qt::Horizontal);
    volumeSlider_->setRange(0, 200);
    volumeSlider_->setValue(100);
    volumeLabel_ = new QLabel(QStringLiteral("100%"));
    connect(volumeSlider_, &QSlider::valueChanged, this,
            [this](int value) { volumeLabel_->setText(QStringLiteral("%1%").arg(value)); });
    volume->addRow(sliderWithLabel(volumeSlider_, volumeLabel_));

    QFormLayout *dsd = addGroup(column, QStringLiteral("DSD 네이티브 재생 (.dsf / .dff)"));
    dsdCombo_ = combo({QStringLiteral("PCM 변환 (호환성 우선)"), QStringLiteral("DoP (DSD over PCM - 독점 출력 필요)"),
                       QStringLiteral("DSD Direct (네이티브 DSD 지원 DAC 필요)")},
                      page);
    // This engine decodes DSD to PCM and has no bitstream path for it.
    listWithoutOffering(dsdCombo_, 1, QStringLiteral("이 재생 엔진은 DSD를 PCM으로 변환해서만 재생합니다"));
    dsd->addRow(QStringLiteral("DSD 출력 모드:"), dsdCombo_);
    dsd->addRow(note(QStringLiteral("DoP: ALSA 하드웨어 장치 직접 출력 + DSD 지원 DAC 필요.\n"
                                    "DSD Direct: 네이티브 DSD를 받는 ALSA 드라이버 필요 (전문가용).\n"
                                    "현재 재생 엔진은 PCM 변환만 지원합니다."),
                     "#888888", page));

    QFormLayout *remote = addGroup(column, QStringLiteral("스마트폰 리모컨 (Wi-Fi)"));
    remoteCheck_ = new QCheckBox(QStringLiteral("리모컨 서버 활성화 (포트 7373)"));
    remote->addRow(remoteCheck_);
    remote->addRow(note(QStringLiteral("같은 Wi-Fi에 연결된 스마트폰 브라우저에서 http://<이 컴퓨터의 IP>:7373 에 접속하면\n"
                                       "재생, 일시정지, 볼륨을 조절할 수 있습니다. (다음 실행 시 적용)"),
                        "#888888", page));
    return scrolling(page, column);
}

QWidget *SettingsDialog::buildVideoTab()
{
    auto *page = new QWidget;
    auto *column = new QVBoxLayout(page);

    QFormLayout *decoding = addGroup(column, QStringLiteral("비디오 디코딩"));
    hwdecCombo_ = combo({QStringLiteral("d3d11va (DirectX 11)"), QStringLiteral("d3d11va-copy"), QStringLiteral("dxva2"),
                         QStringLiteral("dxva2-copy"), QStringLiteral("nvdec (NVIDIA)"), QStringLiteral("nvdec-copy"),
                         QStringLiteral("auto"), QStringLiteral("no (소프트웨어)")},
                        page);
    decoding->addRow(QStringLiteral("하드웨어 디코딩:"), hwdecCombo_);
    gpuApiCombo_ = combo({QStringLiteral("D3D11 (기본, 안정적)"),
                          QStringLiteral("D3D12 / libplacebo (차세대, 4K GPU 부하 20~30% 감소)"),
                          QStringLiteral("OpenGL (호환성)"), QStringLiteral("Vulkan (실험적)")},
                         page);
    decoding->addRow(QStringLiteral("GPU API:"), gpuApiCombo_);
    surfaceCombo_ = combo({QStringLiteral("자동 (GPU가 없으면 소프트웨어)"), QStringLiteral("OpenGL"),
                           QStringLiteral("소프트웨어 (CPU)")},
                          page);
    decoding->addRow(QStringLiteral("비디오 화면:"), surfaceCombo_);
    auto *restartNote = note(QStringLiteral("⚠️  하드웨어 디코딩 및 비디오 출력 변경은 <b>다음 실행 시 적용</b>됩니다."),
                             "#ff9a3c", page);
    restartNote->setTextFormat(Qt::RichText);
    decoding->addRow(restartNote);
    // The Windows decoders and drawing APIs do not exist here; say what the choice becomes.
    decoding->addRow(note(QStringLiteral("Linux: d3d11va / dxva2는 VA-API·VDPAU 자동 선택(auto-safe)으로, "
                                         "D3D11 / D3D12는 OpenGL 렌더링으로 동작합니다.\n변경은 다음 실행 시 적용됩니다."),
                          "#888888", page));

    QFormLayout *profile = addGroup(column, QStringLiteral("GPU 렌더링 프로파일"));
    profileCombo_ = combo({QStringLiteral("Eco (절전 - 노트북 통합 GPU)"), QStringLiteral("Balanced (균형 - 중급 GPU)"),
                           QStringLiteral("Quality (화질 - 고급 GPU) [기본값]"),
                           QStringLiteral("HiEnd (최고화질 - 전문가용)")},
                          page);
    profile->addRow(QStringLiteral("렌더링 프로파일:"), profileCombo_);
    profile->addRow(note(QStringLiteral("Eco: bilinear | Balanced: spline36 | Quality: ewa_lanczossharp | "
                                        "HiEnd: ewa_lanczossharp4sharpest"),
                         "#888888", page));

    QFormLayout *quality = addGroup(column, QStringLiteral("화질 세부 설정 (Advanced)"));
    scalingCombo_ = combo({QStringLiteral("bilinear (빠름)"), QStringLiteral("bicubic"), QStringLiteral("lanczos"),
                           QStringLiteral("spline36"), QStringLiteral("ewa_lanczos (최고품질)"),
                           QStringLiteral("ewa_lanczossharp")},
                          page);
    quality->addRow(QStringLiteral("업스케일링:"), scalingCombo_);
    toneMappingCombo_ = combo({QStringLiteral("bt.2390 (권장)"), QStringLiteral("hable"), QStringLiteral("reinhard"),
                               QStringLiteral("mobius"), QStringLiteral("clip (끄기)")},
                              page);
    quality->addRow(QStringLiteral("HDR 톤매핑:"), toneMappingCombo_);
    debandCheck_ = new QCheckBox(QStringLiteral("디밴딩 (밴딩 노이즈 제거)"));
    quality->addRow(debandCheck_);
    debandStrengthCombo_ = combo({QStringLiteral("약하게"), QStringLiteral("보통"), QStringLiteral("강하게")}, page);
    quality->addRow(QStringLiteral("디밴딩 강도:"), debandStrengthCombo_);
    motionSmoothingCheck_ = new QCheckBox(QStringLiteral("모션 스무딩 (프레임 보간, 24fps→매끄러운 재생)"));
    quality->addRow(motionSmoothingCheck_);
    quality->addRow(note(QStringLiteral("주의: 일부 영상에서 아티팩트가 생길 수 있습니다."), "#888888", page));
    if (engine_ && engine_->videoSurface() == VideoSurfaceKind::Software)
        quality->addRow(note(QStringLiteral("소프트웨어 화면: 디밴딩, HDR 톤매핑과 모션 스무딩은 GPU가 그리는 OpenGL 화면에서만 "
                                            "동작합니다. 업스케일링은 CPU 스케일러의 가장 가까운 방식으로 바뀝니다."),
                             "#ff9a3c", page));
    return scrolling(page, column);
}

QWidget *SettingsDialog::buildSubtitleTab()
{
    auto *page = new QWidget;
    auto *column = new QVBoxLayout(page);

    QFormLayout *style = addGroup(column, QStringLiteral("자막 스타일"));
    fontCombo_ = new QComboBox;
    style->addRow(QStringLiteral("폰트:"), fontCombo_);
    fontSizeSlider_ = new QSlider(Qt::Horizontal);
    fontSizeSlider_->setRange(12, 72);
    fontSizeSlider_->setValue(36);
    fontSizeLabel_ = new QLabel(QStringLiteral("36"));
    connect(fontSizeSlider_, &QSlider::valueChanged, this,
            [this](int value) { fontSizeLabel_->setText(QString::number(value)); });
    style->addRow(QStringLiteral("크기:"), sliderWithLabel(fontSizeSlider_, fontSizeLabel_));
    boldCheck_ = new QCheckBox(QStringLiteral("굵게"));
    style->addRow(boldCheck_);
    colorCombo_ = new QComboBox;
    style->addRow(QStringLiteral("색상:"), colorCombo_);
    shadowCheck_ = new QCheckBox(QStringLiteral("그림자 효과"));
    shadowCheck_->setChecked(true);
    style->addRow(shadowCheck_);

    QFormLayout *autoLoad = addGroup(column, QStringLiteral("자막 자동 로드"));
    autoLoadCheck_ = new QCheckBox(QStringLiteral("동영상과 같은 폴더에서 자막 자동 로드"));
    autoLoad->addRow(autoLoadCheck_);

    QFormLayout *openSubtitles = addGroup(column, QStringLiteral("OpenSubtitles 자막 자동 다운로드"));
    auto *howTo = new QLabel(QStringLiteral(
        "<a href='https://www.opensubtitles.com/consumers' style='color:#00c8b4;'>opensubtitles.com/consumers</a>"
        " 에서 API 키를 발급받으세요.<br>(로그인 → 프로필 → API 항목 → Consumer 키 생성)"));
    howTo->setTextFormat(Qt::RichText);
    howTo->setOpenExternalLinks(true);
    howTo->setWordWrap(true);
    openSubtitles->addRow(howTo);
    openSubtitlesKeyEdit_ = keyField(QStringLiteral("여기에 API 키를 입력하세요..."), true);
    auto *show = new QCheckBox(QStringLiteral("표시"));
    connect(show, &QCheckBox::toggled, this, [this](bool on) {
        openSubtitlesKeyEdit_->setEchoMode(on ? QLineEdit::Normal : QLineEdit::Password);
    });
    auto *keyRow = new QHBoxLayout;
    keyRow->addWidget(openSubtitlesKeyEdit_, 1);
    keyRow->addWidget(show);
    openSubtitles->addRow(QStringLiteral("API Key:"), keyRow);

    QFormLayout *translation = addGroup(column, QStringLiteral("자동 번역 API"));
    translation->addRow(note(QStringLiteral("자막 다운로드 후 한국어로 자동 번역 시 사용합니다.\n"
                                            "DeepL 또는 파파고 중 하나를 입력하세요."),
                             "#888888", page));
    deeplKeyEdit_ = keyField(QStringLiteral("DeepL API Key (api-free.deepl.com)"), true);
    translation->addRow(QStringLiteral("DeepL API Key:"), deeplKeyEdit_);
    papagoIdEdit_ = keyField(QStringLiteral("파파고 Client ID (developers.naver.com)"), false);
    translation->addRow(QStringLiteral("파파고 Client ID:"), papagoIdEdit_);
    papagoSecretEdit_ = keyField(QStringLiteral("파파고 Client Secret"), true);
    translation->addRow(QStringLiteral("파파고 Secret:"), papagoSecretEdit_);
    return scrolling(page, column);
}

QWidget *SettingsDialog::buildGeneralTab()
{
    auto *page = new QWidget;
    auto *column = new QVBoxLayout(page);

    QFormLayout *playback = addGroup(column, QStringLiteral("재생 설정"));
    rememberPosCheck_ = new QCheckBox(QStringLiteral("재생 위치 기억 (이어보기)"));
    resumeCheck_ = new QCheckBox(QStringLiteral("마지막 재생 파일 자동 재개"));
    playback->addRow(rememberPosCheck_);
    playback->addRow(resumeCheck_);

    QFormLayout *language = addGroup(column, QStringLiteral("언어 설정"));
    languageCombo_ = new QComboBox;
    const std::pair<const char *, const char *> languages[] = {
        {"한국어", "ko"}, {"English", "en"}, {"日本語", "ja"}, {"中文", "zh"}};
    for (const auto &[name, code] : languages)
        languageCombo_->addItem(QString::fromUtf8(name), QLatin1String(code));
    // The interface exists in Korean only so far.
    listWithoutOffering(languageCombo_, 1, QStringLiteral("이 언어의 번역은 아직 없습니다"));
    language->addRow(QStringLiteral("인터페이스 언어:"), languageCombo_);
    language->addRow(note(QStringLiteral("* 언어 변경은 재시작 후 적용됩니다."), "#888888", page));

    QFormLayout *screenshots = addGroup(column, QStringLiteral("스크린샷 설정"));
    screenshotDirEdit_ = new QLineEdit;
    auto *browse = new QPushButton(QStringLiteral("찾아보기..."));
    connect(browse, &QPushButton::clicked, this, &SettingsDialog::onBrowseScreenshotFolder);
    auto *folderRow = new QHBoxLayout;
    folderRow->addWidget(screenshotDirEdit_, 1);
    folderRow->addWidget(browse);
    screenshots->addRow(QStringLiteral("저장 폴더:"), folderRow);
    screenshotFormatCombo_ = combo({QStringLiteral("PNG"), QStringLiteral("JPG"), QStringLiteral("WEBP")}, page);
    screenshots->addRow(QStringLiteral("파일 형식:"), screenshotFormatCombo_);
    return scrolling(page, column);
}
