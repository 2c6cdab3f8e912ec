#pragma once

#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QTimer>
#include <QWidget>

class QLabel;
class QNetworkReply;

// A small pop-up in the bottom-right corner of its parent: the sponsored item's picture with a
// countdown. A click opens the item's link; it closes itself after the item's time.
class SplashAdWidget : public QWidget
{
    Q_OBJECT
public:
    static constexpr int kDefaultDurationSec = 3;
    // What the server asks for is kept within this: a pop-up that never goes is not acceptable.
    static constexpr int kMinDurationSec = 1;
    static constexpr int kMaxDurationSec = 30;

    explicit SplashAdWidget(QWidget *parent = nullptr);

    void showAd(const QJsonObject &adObj);
    // The video id of a watch address (its "v") or of a short link (its last path segment).
    static QString youtubeVideoId(const QUrl &url);

public slots:
    void onImageLoaded();
    void onTimeout();

signals:
    void clicked(int adId, const QString &slot);
    void closed();

protected:
    void mousePressEvent(QMouseEvent *event) override;

private:
    void fetchPicture(const QUrl &url);
    void dropPendingPicture();
    void showCountdown();
    void dismiss();

    QJsonObject item_;
    QLabel *picture_ = nullptr;
    QLabel *countdown_ = nullptr;
    QNetworkAccessManager network_;
    QNetworkReply *pictureReply_ = nullptr; // the picture of the item shown now, while it loads
    QTimer closeTimer_;
    QTimer countdownTimer_;
    int remainingSec_ = 0;
};
