#pragma once

#include "app/AppIdentity.h"

#include <QFile>
#include <QMetaProperty>
#include <QPushButton>
#include <QSettings>
#include <QWidget>

// Files, controls and the settings store the tests make and look up, shared so no test file keeps
// a copy of its own.

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

// What a control shows: a combo box its text, a check box its state, a slider its value, an
// edit or a label its text.
inline QVariant shownValue(const QWidget *control)
{
    const QMetaProperty user = control->metaObject()->userProperty();
    return user.isValid() ? user.read(control) : control->property("text");
}

// The control named `name` under `parent` set to `value` (a combo box's entry by its whole text);
// ends the run when there is no such control or it does not take the value.
inline QWidget *setControl(const QWidget &parent, const char *name, const QVariant &value)
{
    QWidget *control = parent.findChild<QWidget *>(QLatin1String(name));
    if (!control || !control->metaObject()->userProperty().write(control, value) || shownValue(control) != value)
        qFatal("%s does not take \"%s\"", name, qPrintable(value.toString()));
    return control;
}

// The player's settings store, opened as the player opens it.
inline QSettings playerSettings()
{
    return QSettings(QLatin1StringView(AppIdentity::kOrganisation), QLatin1StringView(AppIdentity::kSettingsApplication));
}
