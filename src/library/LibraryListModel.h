#pragma once

#include <QAbstractListModel>
#include <QList>
#include <QStringList>

#include <functional>

// The files of one library tab, shown by name and filtered by a search text. A view asks only
// for the rows it draws, so tens of thousands of files cost no widgets, and an icon is looked
// up by the row's path each time it is drawn: a cover that arrives late can never land on a
// row that shows another file by then.
class LibraryListModel : public QAbstractListModel
{
    Q_OBJECT
public:
    // The icon for a path; asked only for rows a view draws.
    using Decoration = std::function<QVariant(const QString &path)>;

    explicit LibraryListModel(Decoration decoration, QObject *parent = nullptr);

    // Replaces the files; the current filter stays.
    void setFiles(const QStringList &paths);
    // Keeps the files whose name contains `text`, ignoring case; empty shows all.
    void setFilter(const QString &text);
    QString filter() const { return filter_; }
    QString pathAt(int row) const;
    // Views redraw the icons of the rows they show.
    void refreshDecorations();

    // The file name without its last suffix: "Movie.2019.mkv" shows as "Movie.2019".
    static QString displayName(const QString &path);

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

private:
    QStringList paths_;
    QStringList names_;
    QList<int> shown_; // indexes into paths_, ascending
    QString filter_;
    Decoration decoration_;
};
