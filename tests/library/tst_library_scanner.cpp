// The library walk on real trees: what it lists and records, what it never enters, how it
// reports progress, and a database that keeps a file's first row or cannot be written at all.
#include "library/LibraryScanner.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

using Kind = LibraryScanner::Kind;

void touch(const QDir &root, const QString &relative)
{
    const QString path = root.filePath(relative);
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
}

// A connection of the test's own to the scanner's database, with the table made as the widget makes it.
class Database
{
public:
    explicit Database(const QString &path)
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(path);
        if (db.open())
            LibraryScanner::createSchema(db);
    }
    ~Database() { QSqlDatabase::removeDatabase(QStringLiteral("check")); }
    // The first three columns of each row the statement gives.
    QList<QStringList> run(const QString &sql)
    {
        QSqlQuery query(QSqlDatabase::database(QStringLiteral("check")));
        query.exec(sql);
        QList<QStringList> rows;
        while (query.next())
            rows << QStringList{query.value(0).toString(), query.value(1).toString(), query.value(2).toString()};
        return rows;
    }
};

} // namespace

class LibraryScannerTest : public QObject
{
    Q_OBJECT
private slots:
    void listsAndRecordsMediaFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("visited");
        QTest::newRow("title cut at the first dot") << "Movie.2019.mkv" << int(Kind::Video) << "Movie" << 1;
        QTest::newRow("two-part suffix in a deep folder") << "a/b/c/show.m2ts" << int(Kind::Video) << "show" << 1;
        QTest::newRow("audio, mixed case") << "mix.Opus" << int(Kind::Audio) << "mix" << 1;
        QTest::newRow("no suffix") << "README" << int(Kind::None) << "" << 1;
        QTest::newRow("media name, other suffix") << "movie.mkv.part" << int(Kind::None) << "" << 1;
        QTest::newRow("hidden file") << ".trailer.mkv" << int(Kind::None) << "" << 0;
    }
    void listsAndRecordsMediaFiles()
    {
        QFETCH(QString, file);
        QFETCH(int, kind);
        QFETCH(QString, title);
        QFETCH(int, visited);
        QTemporaryDir dir;
        QDir root(dir.path() + QStringLiteral("/lib"));
        touch(root, file);
        // A link back to the top in every tree: followed, the walk would never end.
        QVERIFY(QFile::link(root.path(), root.filePath(QStringLiteral("loop"))));
        Database db(dir.filePath(QStringLiteral("library.db")));

        const auto result = LibraryScanner(dir.filePath(QStringLiteral("library.db")), nullptr).scan({root.path()});

        QCOMPARE(result.visited, visited);
        const QStringList expected{root.filePath(file)};
        QCOMPARE(result.videoFiles, kind == int(Kind::Video) ? expected : QStringList());
        QCOMPARE(result.audioFiles, kind == int(Kind::Audio) ? expected : QStringList());
        if (visited) // names are classified alike wherever they come from
            QCOMPARE(LibraryScanner::classify(QFileInfo(file).fileName()), Kind(kind));
        const auto rows = db.run(QStringLiteral("SELECT path, title, type FROM media"));
        if (kind == int(Kind::None))
            QVERIFY(rows.isEmpty());
        else
            QCOMPARE(rows, (QList<QStringList>{{root.filePath(file), title, LibraryScanner::kindName(Kind(kind))}}));
    }

    // Library folders inside one another: each is walked on its own, also where the outer walk
    // never goes (a hidden folder, a link), and no file is listed or recorded twice.
    void nestedFoldersAreEachWalkedOnce()
    {
        QTemporaryDir dir;
        const QDir lib(dir.filePath(QStringLiteral("lib")));
        for (const char *file : {"a.mkv", "sub/b.mkv", ".private/c.mkv"})
            touch(lib, QLatin1String(file));
        touch(QDir(dir.path()), QStringLiteral("elsewhere/d.mkv"));
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("elsewhere")), lib.filePath(QStringLiteral("linked"))));
        const QString dbPath = dir.filePath(QStringLiteral("library.db"));
        Database db(dbPath);
        const QStringList folders{lib.filePath(QStringLiteral("sub")), lib.path(), lib.filePath(QStringLiteral(".private")),
                                  lib.filePath(QStringLiteral("linked")), lib.path() + QLatin1Char('/')};
        QStringList listed = LibraryScanner(dbPath, nullptr).scan(folders).videoFiles;
        listed.sort();
        QCOMPARE(listed.join(u' ').remove(dir.path() + QStringLiteral("/lib/")),
                 QStringLiteral(".private/c.mkv a.mkv linked/d.mkv sub/b.mkv"));
        QCOMPARE(db.run(QStringLiteral("SELECT count(*), 0, 0 FROM media")).value(0).value(0), QStringLiteral("4"));
    }

    // Every file counts, media or not; none of the 20 past the last fifty is reported.
    void progressEveryFiftyFiles()
    {
        QTemporaryDir dir;
        for (int i = 0; i < 120; ++i)
            touch(QDir(dir.path()), QStringLiteral("d%1/f%2.%3").arg(i % 7).arg(i).arg(i % 2 ? "mp3" : "dat"));
        QList<int> calls; // (current, total) pairs, flattened
        LibraryScanner({}, nullptr, [&](int current, int total) { calls << current << total; }).scan({dir.path()});
        QCOMPARE(calls, (QList<int>{50, 150, 100, 200}));
    }

    void databaseKeepsFirstRowsAndSurvivesALock()
    {
        QTemporaryDir dir;
        const QString dbPath = dir.filePath(QStringLiteral("library.db"));
        const QDir media(dir.filePath(QStringLiteral("media")));
        touch(media, QStringLiteral("a.mkv"));
        touch(media, QStringLiteral("b.flac"));
        Database db(dbPath);
        QVERIFY(LibraryScanner(dbPath, nullptr).scan({media.path()}).databaseProblem.isEmpty());
        db.run(QStringLiteral("UPDATE media SET added_at = 7, title = 'first'"));
        QVERIFY(LibraryScanner(dbPath, nullptr).scan({media.path()}).databaseProblem.isEmpty());
        QCOMPARE(db.run(QStringLiteral("SELECT count(*), min(added_at), max(title) FROM media "
                                        "WHERE added_at = 7 AND title = 'first'")),
                 (QList<QStringList>{{"2", "7", "first"}}));

        // Another writer holds the database: the files are still listed, and the scan says why
        // nothing was recorded instead of failing file by file.
        touch(media, QStringLiteral("c.mp4"));
        db.run(QStringLiteral("BEGIN EXCLUSIVE"));
        const auto locked = LibraryScanner(dbPath, nullptr).scan({media.path()});
        db.run(QStringLiteral("COMMIT"));
        QCOMPARE(locked.videoFiles.size() + locked.audioFiles.size(), 3);
        QVERIFY(!locked.databaseProblem.isEmpty());
        QCOMPARE(db.run(QStringLiteral("SELECT count(*), 0, 0 FROM media")).value(0).value(0), QStringLiteral("2"));
    }

    void cancelStopsTheWalkAndRecordsNothing()
    {
        QTemporaryDir dir;
        for (int i = 0; i < 300; ++i)
            touch(QDir(dir.path()), QStringLiteral("d%1/f%2.mkv").arg(i % 5).arg(i));
        const QString dbPath = dir.filePath(QStringLiteral("library.db"));
        Database db(dbPath);
        auto cancel = std::make_shared<std::atomic<bool>>(false);
        const auto result = LibraryScanner(dbPath, cancel, [&](int, int) { cancel->store(true); }).scan({dir.path()});
        QVERIFY(result.cancelled);
        QCOMPARE(result.visited, 50);
        QCOMPARE(db.run(QStringLiteral("SELECT count(*), 0, 0 FROM media")).value(0).value(0), QStringLiteral("0"));
    }
};

QTEST_GUILESS_MAIN(LibraryScannerTest)
#include "tst_library_scanner.moc"
