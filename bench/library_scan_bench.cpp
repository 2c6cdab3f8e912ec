// Measures the media library without the player window: the scan of a large generated tree
// against `find` over the same tree, and the longest stall of the GUI thread while a word is
// typed into the search box over 40,000 entries. Prints one JSON object for bench.py.
//   velmoran_library_bench --work DIR [--files N] [--entries N] [--runs N]
#include "library/LibraryScanner.h"
#include "library/MediaLibraryWidget.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QSqlDatabase>
#include <QTabWidget>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>

namespace {

// What a collection folder holds besides media: artwork, subtitles, notes, files with no suffix.
const char *const kVideo[] = {"mkv", "mp4", "avi", "MKV", "ts", "webm"};
const char *const kAudio[] = {"mp3", "flac", "m4a", "FLAC", "opus", "wav"};
const char *const kOther[] = {"jpg", "srt", "nfo", "txt", "png", "cue", "", "log"};

// Nested like a real collection: 20 shelves × 10 artists × 5 albums, files spread over the albums.
// A marker file records a finished tree, so it is made once per work folder.
QString makeTree(const QString &work, int files)
{
    const QString root = work + QStringLiteral("/library-tree-%1").arg(files);
    const QString marker = work + QStringLiteral("/library-tree-%1.done").arg(files);
    if (QFile::exists(marker))
        return root;
    QDir(root).removeRecursively();
    constexpr int kFolders = 20 * 10 * 5;
    for (int i = 0; i < files; ++i) {
        const int folder = i % kFolders;
        const QString dir =
            root + QStringLiteral("/shelf%1/artist%2/album%3").arg(folder / 50).arg(folder / 5 % 10).arg(folder % 5);
        if (i < kFolders)
            QDir().mkpath(dir);
        QString name;
        const int n = i / kFolders;
        if (i % 97 == 0)
            name = QStringLiteral(".hidden%1.mkv").arg(n);
        else if (i % 4 == 0)
            name = QStringLiteral("%1 Movie.%2.%3").arg(n).arg(2000 + i % 25).arg(QLatin1String(kVideo[i % 6]));
        else if (i % 4 == 1)
            name = QStringLiteral("%1 Track title %2.%3").arg(n).arg(i).arg(QLatin1String(kAudio[i % 6]));
        else
            name = QStringLiteral("extra %1.%2").arg(i).arg(QLatin1String(kOther[i % 8]));
        const QByteArray path = QFile::encodeName(dir + QLatin1Char('/') + name);
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd >= 0)
            ::close(fd);
    }
    QFile(marker).open(QIODevice::WriteOnly);
    return root;
}

double timeFind(const QString &root)
{
    QProcess find;
    find.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer timer;
    timer.start();
    find.start(QStringLiteral("find"), {root, QStringLiteral("-type"), QStringLiteral("f")});
    find.waitForFinished(-1);
    return timer.nsecsElapsed() / 1e6;
}

struct ScanTime {
    double listedMs; // the lists complete, what the user waits for
    double ms;       // and the database written
    int media;
};

// emptyDatabase: every media file is a new row; otherwise the rows are there from the last run.
ScanTime timeScan(const QString &root, const QString &dbPath, bool emptyDatabase)
{
    if (emptyDatabase)
        QFile::remove(dbPath);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("schema"));
        db.setDatabaseName(dbPath);
        if (db.open())
            LibraryScanner::createSchema(db);
    }
    QSqlDatabase::removeDatabase(QStringLiteral("schema"));
    QElapsedTimer timer;
    timer.start();
    double listedMs = 0;
    const auto result = LibraryScanner(dbPath, nullptr).scan({root}, [&](const LibraryScanner::Result &) {
        listedMs = timer.nsecsElapsed() / 1e6;
    });
    const double ms = timer.nsecsElapsed() / 1e6;
    if (!result.databaseProblem.isEmpty())
        std::fprintf(stderr, "%s\n", qPrintable(result.databaseProblem));
    return {listedMs, ms, int(result.videoFiles.size() + result.audioFiles.size())};
}

// The longest time the GUI thread was away from its event loop while `run` played out: a 1 ms
// timer notes each turn of the loop, and the widest gap between two turns is the stall.
double longestStall(int settleMs, const std::function<void()> &run)
{
    QElapsedTimer clock;
    qint64 last = 0, widest = 0;
    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer);
    beat.setInterval(1);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        widest = std::max(widest, now - last);
        last = now;
    });
    clock.start();
    beat.start();
    run();
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < settleMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return widest / 1e6;
}

void pause(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// Typed slowly enough, one character every 250 ms, that every prefix is searched on its own,
// the first ones matching nearly all entries; then the lists settle.
double typingStall(QLineEdit *box, const QString &word)
{
    box->clear();
    pause(600);
    return longestStall(600, [&] {
        for (const QChar c : word) {
            box->insert(QString(c));
            pause(250);
        }
    });
}

QJsonArray toJson(const QList<double> &values)
{
    QJsonArray array;
    for (double value : values)
        array.append(value);
    return array;
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QCommandLineParser parser;
    const auto option = [](const char *name, const char *text, const char *value, const char *byDefault = "") {
        return QCommandLineOption(QLatin1String(name), QLatin1String(text), QLatin1String(value), QLatin1String(byDefault));
    };
    const QCommandLineOption workOption = option("work", "Folder for the tree and a private settings home.", "dir");
    const QCommandLineOption filesOption = option("files", "Files in the tree.", "n", "100000");
    const QCommandLineOption entriesOption = option("entries", "Entries in each list for the search.", "n", "40000");
    const QCommandLineOption runsOption = option("runs", "Runs of each measure.", "n", "5");
    parser.addOptions({workOption, filesOption, entriesOption, runsOption});
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    parser.process(arguments);
    const QString work = QDir(parser.value(workOption)).absolutePath();
    const int files = parser.value(filesOption).toInt();
    const int entries = parser.value(entriesOption).toInt();
    const int runs = std::max(1, parser.value(runsOption).toInt());
    if (work.isEmpty() || files <= 0 || entries <= 0) {
        std::fprintf(stderr, "usage: velmoran_library_bench --work DIR [--files N] [--entries N] [--runs N]\n");
        return 2;
    }
    // The widget reads and writes settings and its database: never a real user's.
    const QString home = work + QStringLiteral("/library-home");
    QDir().mkpath(home);
    qputenv("HOME", QFile::encodeName(home));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home + QStringLiteral("/config")));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home + QStringLiteral("/data")));
    QApplication app(argc, argv);

    const QString root = makeTree(work, files);
    const QString dbPath = work + QStringLiteral("/library-bench.db");
    timeFind(root); // both start from a warm directory cache
    timeScan(root, dbPath, true);
    QList<double> find, listed, scan, rescan;
    int media = 0;
    for (int run = 0; run < runs; ++run) {
        // Alternating which goes first, so a drift of the machine falls on both.
        if (run % 2 == 0)
            find << timeFind(root);
        const ScanTime fresh = timeScan(root, dbPath, true);
        listed << fresh.listedMs;
        scan << fresh.ms;
        media = fresh.media;
        rescan << timeScan(root, dbPath, false).ms;
        if (run % 2 == 1)
            find << timeFind(root);
    }
    QFile::remove(dbPath);

    // The search: both lists hold `entries` names, and a word is typed whose every prefix
    // matches a smaller part of them.
    QStringList video, audio;
    for (int i = 0; i < entries; ++i) {
        video << QStringLiteral("/bench/Movies/Shelf %1/Film number %2.mkv").arg(i % 40).arg(i);
        audio << QStringLiteral("/bench/Music/Artist %1/Album %2/Song number %3.flac").arg(i % 300).arg(i % 17).arg(i);
    }
    MediaLibraryWidget widget;
    widget.resize(1000, 700);
    widget.show();
    pause(300);
    const double fill = longestStall(1500, [&] { widget.onScanFinished(video, audio); });
    QJsonObject stalls;
    for (QListView *list : {widget.videoList(), widget.audioList()}) {
        widget.tabs()->setCurrentWidget(list);
        pause(300);
        QList<double> typed;
        for (int run = 0; run < runs; ++run)
            typed << typingStall(widget.searchEdit(), QStringLiteral("number 12"));
        // "number 12" leaves 12, 120-129, 1200-1299 ...: a search that did not run would show all.
        const int shown = list->model()->rowCount();
        if (shown == 0 || shown >= entries) {
            std::fprintf(stderr, "the search left %d of %d entries\n", shown, entries);
            return 1;
        }
        stalls[list == widget.videoList() ? QStringLiteral("video") : QStringLiteral("audio")] = toJson(typed);
    }

    const QJsonObject report{{"files", files},
                             {"media", media},
                             {"find_ms", toJson(find)},
                             {"scan_ms", toJson(scan)},
                             {"listed_ms", toJson(listed)},
                             {"rescan_ms", toJson(rescan)},
                             {"entries", entries},
                             {"fill_stall_ms", fill},
                             {"search_stall_ms", stalls}};
    std::printf("%s\n", QJsonDocument(report).toJson(QJsonDocument::Compact).constData());
    return 0;
}
