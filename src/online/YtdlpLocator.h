#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

class QProcess;

// Finds every yt-dlp this user could run and asks each for its version. A packaged copy on PATH
// is often years old and hides a newer per-user one, so the newest copy wins wherever it lies.
class YtdlpLocator : public QObject
{
    Q_OBJECT
public:
    // yt-dlp is a Python program: its start takes a second or two on a busy machine.
    static constexpr int kProbeTimeoutMs = 20000;

    struct Copy {
        QString path;    // empty: no copy works
        QString version; // as the copy printed it, "2023.03.04"
    };

    explicit YtdlpLocator(QObject *parent = nullptr);
    ~YtdlpLocator() override;

    // In the order a tie is decided: the per-user download folder, beside the executable, the
    // first one on PATH; each file once.
    static QStringList candidates(const QString &downloadFolder);
    // Releases are named by their date ("2023.03.04", nightly builds add ".123456"): compared
    // part by part as numbers. Negative, 0 or positive as a is older, the same or newer.
    static int compareVersions(const QString &a, const QString &b);
    // The version a copy printed for --version; empty when that is not one.
    static QString versionFrom(const QByteArray &output);

    // Asks every candidate; located() once all have answered or timed out. A copy in
    // `downloadFolder` that lacks its executable bit (saved there by hand) gets it first.
    void locate(const QStringList &candidates, const QString &downloadFolder);
    bool isRunning() const { return !probes_.isEmpty(); }

signals:
    void located(const YtdlpLocator::Copy &newest);

private:
    void onProbeEnded(QProcess *probe, const QString &path);
    void stopProbes();

    QList<QProcess *> probes_;
    QList<Copy> found_;
    QStringList order_;
};
