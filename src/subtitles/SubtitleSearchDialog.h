#pragma once

#include "subtitles/SubtitleDownloader.h"

#include <QDialog>
#include <QList>
#include <QString>

#include <functional>

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;

// Lists the subtitles OpenSubtitles has for a video, saves the chosen one beside it and, when
// asked, has it translated to Korean. Accepted once a file is in place; resultPath() names it.
class SubtitleSearchDialog : public QDialog
{
    Q_OBJECT

public:
    explicit SubtitleSearchDialog(const QString &mediaPath, QWidget *parent = nullptr);

    // The downloaded subtitle, or its translation when one was made; empty until then.
    QString resultPath() const { return resultPath_; }
    // Puts a finished subtitle on screen before the dialog closes; answers why it could not (the
    // engine refused the file, another video plays by now), or nothing when it plays.
    using Loader = std::function<QString(const QString &path)>;
    void setLoader(Loader loader) { loader_ = std::move(loader); }

private slots:
    void startSearch();
    void onSearchFinished(const QList<SubtitleResult> &results);
    void onDownloadClicked();
    void onDownloadFinished(const QString &savedPath);
    void onTranslateFinished(const QString &translatedPath);
    void onError(const QString &message);

private:
    void showBusy(const QString &status);
    void showProgress(int value); // 0 stopped, 1 full
    void finish(const QString &done);

    QString mediaPath_;
    SubtitleDownloader *downloader_ = nullptr;
    QComboBox *languages_ = nullptr;
    QProgressBar *progress_ = nullptr;
    QLabel *status_ = nullptr;
    QTableWidget *table_ = nullptr;
    QCheckBox *translate_ = nullptr;
    QPushButton *download_ = nullptr;
    QList<SubtitleResult> results_;
    QString resultPath_;
    Loader loader_;
};
