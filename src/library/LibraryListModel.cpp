#include "library/LibraryListModel.h"

LibraryListModel::LibraryListModel(Decoration decoration, QObject *parent)
    : QAbstractListModel(parent), decoration_(std::move(decoration))
{
}

QString LibraryListModel::displayName(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    return path.mid(slash + 1, dot > slash + 1 ? dot - slash - 1 : -1);
}

void LibraryListModel::setFiles(const QStringList &paths)
{
    beginResetModel();
    paths_ = paths;
    names_.clear();
    names_.reserve(paths.size());
    for (const QString &path : paths)
        names_.append(displayName(path));
    shown_.clear();
    shown_.reserve(paths.size());
    for (int i = 0; i < names_.size(); ++i)
        if (filter_.isEmpty() || names_.at(i).contains(filter_, Qt::CaseInsensitive))
            shown_.append(i);
    endResetModel();
}

void LibraryListModel::setFilter(const QString &text)
{
    if (text == filter_)
        return;
    // Typing on narrows the search: only the names still shown can match the longer text.
    const bool narrowing = !filter_.isEmpty() && text.contains(filter_, Qt::CaseInsensitive);
    QList<int> shown;
    if (narrowing) {
        for (int i : std::as_const(shown_))
            if (names_.at(i).contains(text, Qt::CaseInsensitive))
                shown.append(i);
    } else {
        shown.reserve(names_.size());
        for (int i = 0; i < names_.size(); ++i)
            if (text.isEmpty() || names_.at(i).contains(text, Qt::CaseInsensitive))
                shown.append(i);
    }
    beginResetModel();
    filter_ = text;
    shown_ = std::move(shown);
    endResetModel();
}

QString LibraryListModel::pathAt(int row) const
{
    return row >= 0 && row < shown_.size() ? paths_.at(shown_.at(row)) : QString();
}

void LibraryListModel::refreshDecorations()
{
    if (!shown_.isEmpty())
        emit dataChanged(index(0), index(int(shown_.size()) - 1), {Qt::DecorationRole});
}

int LibraryListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(shown_.size());
}

QVariant LibraryListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= shown_.size())
        return {};
    const int file = shown_.at(index.row());
    switch (role) {
    case Qt::DisplayRole:
        return names_.at(file);
    case Qt::ToolTipRole:
    case Qt::UserRole:
        return paths_.at(file);
    case Qt::DecorationRole:
        return decoration_ ? decoration_(paths_.at(file)) : QVariant();
    default:
        return {};
    }
}
