#include "online/SplashAdWidget.h"

#include "online/ServiceAddress.h"

#include <QDesktopServices>
#include <QLabel>
#include <QMouseEvent>
#include <QNetworkReply>
#include <QRegularExpression>
#include <QUrlQuery>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr qint64 kMaxPictureBytes = 4 * 1024 * 1024;
const QString kPlaceholder = QStringLiteral("광고");

QUrl thumbnailUrl(const QString &videoId)
{
    return serviceEndpoint(serviceBaseUrl("YTIMG", "https://i.ytimg.com"),
                           QStringLiteral("/vi/%1/mqdefault.jpg").arg(videoId));
}

} // namespace

SplashAdWidget::SplashAdWidget(QWidget *parent) : QWidget(parent)
{
    setFixedSize(320, 90);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_StyledBackground);
    setStyleSheet(QStringLiteral("SplashAdWidget { background: #1a1a1a; border: 1px solid #333; border-radius: 6px; }"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(12, 6, 12, 4);
    layout->setSpacing(2);
    picture_ = new QLabel(kPlaceholder, this);
    picture_->setObjectName(QStringLiteral("adPicture"));
    picture_->setFixedSize(296, 60);
    picture_->setAlignment(Qt::AlignCenter);
    picture_->setStyleSheet(QStringLiteral("background: #0e0e0e; color: #777; border-radius: 4px;"));
    layout->addWidget(picture_);
    countdown_ = new QLabel(this);
    countdown_->setObjectName(QStringLiteral("adCountdown"));
    countdown_->setStyleSheet(QStringLiteral("color: #888; font-size: 10px;"));
    layout->addWidget(countdown_, 0, Qt::AlignRight);

    closeTimer_.setSingleShot(true);
    connect(&closeTimer_, &QTimer::timeout, this, &SplashAdWidget::onTimeout);
    countdownTimer_.setInterval(1000);
    connect(&countdownTimer_, &QTimer::timeout, this, [this] {
        --remainingSec_;
        showCountdown();
        if (remainingSec_ < 1)
            countdownTimer_.stop();
    });
    hide();
}

QString SplashAdWidget::youtubeVideoId(const QUrl &url)
{
    // A short link may carry a query of its own (youtu.be/ID?t=30): only "v" names the video.
    QString id = QUrlQuery(url).queryItemValue(QStringLiteral("v"));
    if (id.isEmpty())
        id = url.path().section(u'/', -1);
    static const QRegularExpression plainId(QStringLiteral("^[A-Za-z0-9_-]{1,64}$"));
    return plainId.match(id).hasMatch() ? id : QString();
}

void SplashAdWidget::showAd(const QJsonObject &adObj)
{
    if (adObj.isEmpty())
        return;
    item_ = adObj;
    dropPendingPicture();
    picture_->setPixmap({});
    picture_->setText(kPlaceholder);
    remainingSec_ = std::clamp(adObj.value(QLatin1StringView("duration_sec")).toInt(kDefaultDurationSec),
                               kMinDurationSec, kMaxDurationSec);
    showCountdown();

    const QString type = adObj.value(QLatin1StringView("type")).toString();
    const QUrl media(adObj.value(QLatin1StringView("media_url")).toString());
    if (type == u"image" && isWebAddress(media))
        fetchPicture(media);
    else if (type == u"youtube" && isWebAddress(media))
        if (const QString id = youtubeVideoId(media); !id.isEmpty())
            fetchPicture(thumbnailUrl(id));

    if (const QWidget *parent = parentWidget())
        move(parent->width() - width() - 8, parent->height() - height() - 8);
    raise();
    show();
    closeTimer_.start(remainingSec_ * 1000);
    countdownTimer_.start();
}

void SplashAdWidget::fetchPicture(const QUrl &url)
{
    if (!url.isValid())
        return;
    QNetworkRequest request(url);
    request.setTransferTimeout(15000);
    // Redirects only to https, never to a local file.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    pictureReply_ = network_.get(request);
    QNetworkReply *reply = pictureReply_;
    connect(reply, &QNetworkReply::downloadProgress, reply, [reply](qint64 received) {
        if (received > kMaxPictureBytes)
            reply->abort();
    });
    connect(reply, &QNetworkReply::finished, this, &SplashAdWidget::onImageLoaded);
}

void SplashAdWidget::dropPendingPicture()
{
    QNetworkReply *old = pictureReply_;
    pictureReply_ = nullptr;
    if (old)
        old->abort();
}

void SplashAdWidget::onImageLoaded()
{
    auto *reply = qobject_cast<QNetworkReply *>(sender());
    if (!reply)
        return;
    reply->deleteLater();
    if (reply != pictureReply_)
        return; // the picture of an item that was replaced meanwhile
    pictureReply_ = nullptr;
    QPixmap pixmap;
    // The abort on progress comes too late when the whole picture arrived at once.
    const QByteArray data = reply->read(kMaxPictureBytes + 1);
    if (reply->error() != QNetworkReply::NoError || data.size() > kMaxPictureBytes || !pixmap.loadFromData(data)) {
        picture_->setText(kPlaceholder);
        return;
    }
    picture_->setPixmap(pixmap.scaled(picture_->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void SplashAdWidget::showCountdown()
{
    countdown_->setText(QStringLiteral("광고 %1초 후 종료").arg(remainingSec_));
}

void SplashAdWidget::onTimeout()
{
    dismiss();
}

void SplashAdWidget::dismiss()
{
    countdownTimer_.stop();
    closeTimer_.stop();
    dropPendingPicture();
    hide();
    emit closed();
}

void SplashAdWidget::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QUrl link(item_.value(QLatin1StringView("click_url")).toString());
    if (isWebAddress(link))
        QDesktopServices::openUrl(link);
    emit clicked(item_.value(QLatin1StringView("id")).toInt(), item_.value(QLatin1StringView("slot")).toString());
    dismiss();
}
