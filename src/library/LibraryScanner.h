#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

#include <atomic>
#include <functional>
#include <memory>

class QSqlDatabase;

// Walks the library folders for video and audio files and records each one in the library
// database. Runs on a pool thread: it touches no widget and reports only through its callback
// and its result. Everything it needs is handed in, so a test can run it without the widget.
class LibraryScanner
{
public:
    enum class Kind { None, Video, Audio };

    // Set from any thread; the walk looks at it before every file and stops.
    using CancelFlag = std::shared_ptr<std::atomic<bool>>;
    // (files visited so far, a rough total): the walk cannot know the real total in advance.
    using Progress = std::function<void(int current, int total)>;

    struct Result {
        QStringList videoFiles; // full paths, in the order they were found
        QStringList audioFiles;
        int visited = 0;        // regular files seen, media or not
        bool cancelled = false;
        // Empty unless the database was open and still could not take the rows: the lists are
        // complete, the database simply has none of this scan.
        QString databaseProblem;
    };

    // The lists are complete: called before the database write has finished.
    using Listed = std::function<void(const Result &)>;

    // `databasePath` empty: nothing is written. `cancel` may be null.
    LibraryScanner(QString databasePath, CancelFlag cancel, Progress progress = {});

    // Walks the folders, recording their media files as it goes (on the record's own thread);
    // `listed` comes when the walk is done, the return once the record is too. A scan cancelled
    // during the walk never calls `listed`; a cancelled scan rolls its rows back.
    Result scan(const QStringList &folders, const Listed &listed = {});

    // By the lower-cased text after the last dot of the name; video wins over audio.
    static Kind classify(QStringView fileName);
    static QString kindName(Kind kind); // "video", "audio"
    // What the database keeps as the title: the name up to its first dot.
    static QString titleOf(QStringView fileName);

    // <AppDataLocation>/velmoran_library.db, with its folder created.
    static QString defaultDatabasePath();
    // Creates the table when missing; false (nothing changed) on a database that refuses it.
    static bool createSchema(QSqlDatabase &database);

private:
    class Walk;

    QString databasePath_;
    CancelFlag cancel_;
    Progress progress_;
};
