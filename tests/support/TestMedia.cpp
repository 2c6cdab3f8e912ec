#include "TestMedia.h"

#include <QDir>
#include <QFileInfo>
#include <QtGlobal>

namespace {

QString requiredEnv(const char *name, const char *what)
{
    const QString value = qEnvironmentVariable(name);
    if (value.isEmpty())
        qFatal("%s is not set: %s. Run the test through ctest so the harness provides it.", name,
               what);
    return value;
}

} // namespace

namespace TestMedia {

QString directory()
{
    const QString dir = requiredEnv("VELMORAN_TEST_MEDIA", "folder of the generated test media");
    const QFileInfo info(dir);
    if (!info.isDir())
        qFatal("VELMORAN_TEST_MEDIA=%s is not a folder; the media_fixtures step has not run or "
               "failed (tests/fixtures/make-media.sh).",
               qPrintable(dir));
    return info.absoluteFilePath();
}

QString path(const QString &name)
{
    const QFileInfo info(QDir(directory()).filePath(name));
    if (!info.isFile())
        qFatal("Test media '%s' is missing (looked for %s); regenerate it with "
               "tests/fixtures/make-media.sh or fix the file name.",
               qPrintable(name), qPrintable(info.absoluteFilePath()));
    return info.absoluteFilePath();
}

QString playerBinary()
{
    const QString binary = requiredEnv("VELMORAN_BINARY", "path of the built player");
    const QFileInfo info(binary);
    if (!info.isFile() || !info.isExecutable())
        qFatal("VELMORAN_BINARY=%s is not an executable file; build the 'velmoran' target first.",
               qPrintable(binary));
    return info.absoluteFilePath();
}

} // namespace TestMedia
