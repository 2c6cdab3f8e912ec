#include "online/UrlDialog.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
bool looksLikeStreamAddress(const QString &text)
{
    for (const char *scheme : {"http://", "https://", "rtmp://", "rtsp://"})
        if (text.startsWith(QLatin1String(scheme)))
            return true;
    return false;
}
} // namespace

UrlDialog::UrlDialog(QWidget *parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setWindowTitle(QStringLiteral("URL 열기"));
    setFixedSize(520, 160);
    setStyleSheet(QStringLiteral(
        "QDialog { background: #1a1a1a; border: 1px solid #333; } QLabel { color: #ddd; }"
        "QLineEdit { background: #0e0e0e; color: #eee; border: 1px solid #444; border-radius: 3px; padding: 5px; }"
        "QPushButton { background: #2a2a2a; color: #ddd; border: 1px solid #444; border-radius: 3px;"
        " padding: 5px 16px; } QPushButton#okBtn { background: #1565c0; border-color: #1e88e5; }"));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(18, 14, 18, 14);
    auto *heading = new QLabel(QStringLiteral("URL 열기"), this);
    heading->setStyleSheet(QStringLiteral("font-weight: bold; font-size: 14px;"));
    layout->addWidget(heading);
    auto *hint = new QLabel(QStringLiteral("유튜브, 트위치, 직접 스트림 URL을 입력하세요.\n"
                                           "유튜브 5.1 서라운드는 yt-dlp가 자동으로 처리합니다."),
                            this);
    hint->setStyleSheet(QStringLiteral("color: #888; font-size: 11px;"));
    layout->addWidget(hint);

    urlEdit_ = new QLineEdit(this);
    urlEdit_->setPlaceholderText(QStringLiteral("https://www.youtube.com/watch?v=..."));
    layout->addWidget(urlEdit_);
    connect(urlEdit_, &QLineEdit::returnPressed, this, &QDialog::accept);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto *cancel = new QPushButton(QStringLiteral("취소"), this);
    auto *play = new QPushButton(QStringLiteral("재생"), this);
    play->setObjectName(QStringLiteral("okBtn"));
    play->setDefault(true);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(play, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(cancel);
    buttons->addWidget(play);
    layout->addLayout(buttons);

    const QString clip = QGuiApplication::clipboard()->text().trimmed();
    if (looksLikeStreamAddress(clip)) {
        urlEdit_->setText(clip);
        urlEdit_->selectAll();
    }
    urlEdit_->setFocus();
}

QString UrlDialog::url() const
{
    return urlEdit_->text().trimmed();
}
