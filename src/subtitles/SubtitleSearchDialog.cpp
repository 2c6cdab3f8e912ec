#include "subtitles/SubtitleSearchDialog.h"

#include "subtitles/SubtitleTranslator.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// The last family is the usual Korean face of Linux desktops, where the first two are missing.
#define VELMORAN_DIALOG_FONTS "font-family: 'Malgun Gothic', 'Segoe UI', 'Noto Sans CJK KR';"
const char *const kDialogStyle =
    "QDialog { background: #141414; }"
    "QLabel, QCheckBox { color: #cccccc; font-size: 13px; background: transparent; " VELMORAN_DIALOG_FONTS " }"
    "QLabel#status { color: #888888; font-size: 11px; }"
    "QComboBox { background: #2a2a2a; color: #dddddd; border: 1px solid #3a3a3a; border-radius: 4px;"
    "  padding: 4px 8px; font-size: 12px; " VELMORAN_DIALOG_FONTS " }"
    "QComboBox QAbstractItemView { background: #1e1e1e; color: #dddddd; selection-background-color: #1a3030; }"
    "QPushButton { background: #2a2a2a; color: #dddddd; border: 1px solid #3a3a3a; border-radius: 4px;"
    "  padding: 7px 16px; font-size: 12px; " VELMORAN_DIALOG_FONTS " }"
    "QPushButton:hover { background: #333333; border-color: #555555; }"
    "QPushButton:disabled { color: #666666; }"
    "QPushButton#download { background: #00c8b4; color: #000000; border: 1px solid #00c8b4; font-weight: bold; }"
    "QPushButton#download:hover { background: #1ee0cc; border-color: #1ee0cc; }"
    "QPushButton#download:disabled { background: #2a2a2a; color: #666666; border-color: #3a3a3a; font-weight: normal; }"
    "QProgressBar { background: #2a2a2a; border: none; border-radius: 3px; }"
    "QProgressBar::chunk { background: #00c8b4; border-radius: 3px; }"
    "QTableWidget { background: #141414; alternate-background-color: #1a1a1a; color: #cccccc;"
    "  gridline-color: #2a2a2a; border: 1px solid #2a2a2a; font-size: 12px;"
    "  selection-background-color: #1a3030; selection-color: #ffffff; " VELMORAN_DIALOG_FONTS " }"
    "QHeaderView::section { background: #1e1e1e; color: #aaaaaa; border: none; border-right: 1px solid #2a2a2a;"
    "  padding: 4px 6px; font-size: 11px; }";
#undef VELMORAN_DIALOG_FONTS

const QColor kKoreanRowColour(0x4f, 0xc3, 0xf7);

QTableWidgetItem *cell(const QString &text)
{
    return new QTableWidgetItem(text);
}

} // namespace

SubtitleSearchDialog::SubtitleSearchDialog(const QString &mediaPath, QWidget *parent)
    : QDialog(parent)
    , mediaPath_(mediaPath)
    , downloader_(new SubtitleDownloader(this))
{
    setWindowTitle(QStringLiteral("자막 검색 — ") + QFileInfo(mediaPath).fileName());
    setModal(true);
    setMinimumSize(640, 400);
    setStyleSheet(QLatin1String(kDialogStyle));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->setSpacing(10);

    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("언어:"), this));
    languages_ = new QComboBox(this);
    languages_->addItem(QStringLiteral("한국어 (ko)"), QStringLiteral("ko"));
    languages_->addItem(QStringLiteral("영어 (en)"), QStringLiteral("en"));
    languages_->addItem(QStringLiteral("한국어 + 영어"), QStringLiteral("ko,en"));
    languages_->addItem(QStringLiteral("일본어 (ja)"), QStringLiteral("ja"));
    languages_->addItem(QStringLiteral("중국어 간체 (zh-CN)"), QStringLiteral("zh-CN"));
    top->addWidget(languages_);
    auto *searchAgain = new QPushButton(QStringLiteral("다시 검색"), this);
    searchAgain->setAutoDefault(false);
    top->addWidget(searchAgain);
    top->addStretch(1);
    layout->addLayout(top);

    progress_ = new QProgressBar(this);
    progress_->setFixedHeight(6);
    progress_->setTextVisible(false);
    layout->addWidget(progress_);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("status"));
    // Messages carry server text and file names, which must never be read as markup.
    status_->setTextFormat(Qt::PlainText);
    layout->addWidget(status_);

    table_ = new QTableWidget(0, 5, this);
    table_->setHorizontalHeaderLabels({QStringLiteral("파일명"), QStringLiteral("언어"), QStringLiteral("다운로드 수"),
                                       QStringLiteral("평점"), QStringLiteral("청각장애")});
    table_->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table_->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    table_->verticalHeader()->setVisible(false);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setAlternatingRowColors(true);
    layout->addWidget(table_, 1);

    translate_ = new QCheckBox(QStringLiteral("다운로드 후 한국어로 자동 번역"), this);
    translate_->setToolTip(QStringLiteral("DeepL API 또는 파파고 API를 사용하여 \n다운로드된 자막을 한국어로 번역합니다.\n"
                                          "설정 → 자막 탭에서 API 키를 입력하세요."));
    layout->addWidget(translate_);

    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    download_ = new QPushButton(QStringLiteral("선택한 자막 다운로드"), this);
    download_->setObjectName(QStringLiteral("download"));
    download_->setEnabled(false);
    auto *cancel = new QPushButton(QStringLiteral("취소"), this);
    cancel->setAutoDefault(false);
    bottom->addWidget(download_);
    bottom->addWidget(cancel);
    layout->addLayout(bottom);

    connect(searchAgain, &QPushButton::clicked, this, [this] {
        table_->setRowCount(0);
        download_->setEnabled(false);
        startSearch();
    });
    connect(download_, &QPushButton::clicked, this, &SubtitleSearchDialog::onDownloadClicked);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(downloader_, &SubtitleDownloader::searchFinished, this, &SubtitleSearchDialog::onSearchFinished);
    connect(downloader_, &SubtitleDownloader::downloadFinished, this, &SubtitleSearchDialog::onDownloadFinished);
    connect(downloader_, &SubtitleDownloader::translateFinished, this, &SubtitleSearchDialog::onTranslateFinished);
    connect(downloader_, &SubtitleDownloader::errorOccurred, this, &SubtitleSearchDialog::onError);

    startSearch();
}

void SubtitleSearchDialog::showBusy(const QString &status)
{
    progress_->setRange(0, 0);
    status_->setText(status);
}

void SubtitleSearchDialog::showProgress(int value)
{
    progress_->setRange(0, 1);
    progress_->setValue(value);
}

void SubtitleSearchDialog::startSearch()
{
    showBusy(QStringLiteral("자막을 검색하는 중..."));
    downloader_->search(mediaPath_, languages_->currentData().toString().split(u','));
}

void SubtitleSearchDialog::onSearchFinished(const QList<SubtitleResult> &results)
{
    showProgress(1);
    results_ = results;
    table_->setRowCount(int(results.size()));
    if (results.isEmpty()) {
        status_->setText(QStringLiteral("검색 결과가 없습니다. 다른 언어로 시도해 보세요."));
        return;
    }
    status_->setText(QStringLiteral("%1개의 자막을 찾았습니다.").arg(results.size()));
    for (int row = 0; row < table_->rowCount(); ++row) {
        const SubtitleResult &result = results.at(row);
        const QStringList texts{result.fileName, result.language.toUpper(), QString::number(result.downloadCount),
                                result.rating > 0 ? QString::number(result.rating, 'f', 1) : QStringLiteral("-"),
                                result.hearingImpaired ? QStringLiteral("CC") : QString()};
        for (int column = 0; column < texts.size(); ++column) {
            QTableWidgetItem *item = cell(texts.at(column));
            if (result.language == u"ko")
                item->setForeground(kKoreanRowColour);
            table_->setItem(row, column, item);
        }
    }
    table_->selectRow(0);
    download_->setEnabled(true);
}

void SubtitleSearchDialog::onDownloadClicked()
{
    const int row = table_->currentRow();
    if (row < 0 || row >= results_.size())
        return;
    download_->setEnabled(false);
    showBusy(QStringLiteral("자막을 다운로드하는 중..."));
    downloader_->downloadSubtitle(results_.at(row).fileId, QFileInfo(mediaPath_).absolutePath());
}

void SubtitleSearchDialog::onDownloadFinished(const QString &savedPath)
{
    showProgress(1);
    resultPath_ = savedPath;
    if (translate_->isChecked()) {
        // Read now: the keys may have been entered in the settings since the dialog opened.
        const TranslationKeys keys = TranslationKeys::fromSettings();
        if (keys.isSet()) {
            showBusy(QStringLiteral("자막 번역 중... (DeepL/파파고 API 필요)"));
            downloader_->translateSubtitle(savedPath, QStringLiteral("ko"), keys.deeplKey, keys.papagoClientId,
                                           keys.papagoClientSecret);
            return;
        }
        status_->setText(QStringLiteral("번역 API 키가 없습니다. 설정 → 자막 탭에서 API 키를 입력하세요."));
    }
    finish(QStringLiteral("자막 다운로드 완료: "));
}

void SubtitleSearchDialog::onTranslateFinished(const QString &translatedPath)
{
    showProgress(1);
    resultPath_ = translatedPath;
    finish(QStringLiteral("번역 완료: "));
}

void SubtitleSearchDialog::finish(const QString &done)
{
    // The dialog closes only once the subtitle plays; a file the engine refuses is reported here,
    // with the list still there to pick another.
    if (loader_) {
        if (const QString refusal = loader_(resultPath_); !refusal.isEmpty()) {
            resultPath_.clear();
            onError(refusal);
            return;
        }
    }
    status_->setText(done + QFileInfo(resultPath_).fileName());
    accept();
}

void SubtitleSearchDialog::onError(const QString &message)
{
    showProgress(0);
    status_->setText(QStringLiteral("오류: ") + message);
    download_->setEnabled(table_->rowCount() > 0);
    // Not exec(): a nested event loop here would hold up the downloader's signals and any test.
    auto *box = new QMessageBox(QMessageBox::Warning, QStringLiteral("자막 오류"), message, QMessageBox::Ok, this);
    box->setTextFormat(Qt::PlainText);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}
