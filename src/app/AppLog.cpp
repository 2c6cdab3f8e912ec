#include "app/AppLog.h"

#include <QDir>
#include <QFile>
#include <QTime>

QString debugLogDirectory()
{
    QString stateHome = qEnvironmentVariable("XDG_STATE_HOME");
    if (stateHome.isEmpty())
        stateHome = QDir::homePath() + QStringLiteral("/.local/state");
    return stateHome + QStringLiteral("/velmoran");
}

QString appLogPath()
{
    return debugLogDirectory() + QStringLiteral("/velmoran_app.log");
}

void appLog(const QString &message)
{
    static const bool enabled = qEnvironmentVariableIsSet("VELMORAN_DEBUG");
    if (!enabled)
        return;

    static QFile file(appLogPath());
    if (!file.isOpen()) {
        QDir().mkpath(debugLogDirectory());
        if (!file.open(QIODevice::Append | QIODevice::Text))
            return;
    }
    const QByteArray line = QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz")).toUtf8()
                            + ' ' + message.toUtf8() + '\n';
    file.write(line);
    file.flush();
}
