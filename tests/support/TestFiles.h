#pragma once

#include <QFile>
#include <QPushButton>
#include <QWidget>

// Files and controls the tests make and look up, shared so no test file keeps a copy of its own.

// Writes `bytes` to `path`, grown sparsely to `size` when one is given; a file that cannot be
// written ends the run, so no test goes on with input it did not make.
inline QString writeTestFile(const QString &path, const QByteArray &bytes, qint64 size = -1, bool executable = false)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || (size >= 0 && !file.resize(size))
        || (executable && !file.setPermissions(file.permissions() | QFile::ExeOwner)))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// The whole file; empty when it cannot be read.
inline QByteArray readTestFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The push button under `parent` showing `text`; ends the run when there is none.
inline QPushButton *buttonWithText(const QWidget &parent, const QString &text)
{
    for (QPushButton *button : parent.findChildren<QPushButton *>())
        if (button->text() == text)
            return button;
    qFatal("no button \"%s\"", qPrintable(text));
}
