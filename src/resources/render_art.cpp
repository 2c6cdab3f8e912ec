#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QSvgRenderer>
#include <QtEndian>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

[[noreturn]] void fail(const QString &message)
{
    std::fprintf(stderr, "velmoran_render_art: %s\n", qPrintable(message));
    std::exit(EXIT_FAILURE);
}

std::unique_ptr<QSvgRenderer> loadSvg(const QString &path)
{
    if (!QFile::exists(path))
        fail(QStringLiteral("missing %1").arg(path));
    auto svg = std::make_unique<QSvgRenderer>();
    if (!svg->load(path) || !svg->isValid() || svg->viewBoxF().isEmpty())
        fail(QStringLiteral("not a usable SVG: %1").arg(path));
    return svg;
}

QImage render(QSvgRenderer &svg, int width)
{
    const QSizeF box = svg.viewBoxF().size();
    QImage image(width, qRound(width * box.height() / box.width()), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::SmoothPixmapTransform);
    svg.render(&painter);
    return image;
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        fail(QStringLiteral("cannot write %1: %2").arg(path, file.errorString()));
}

QByteArray encode(const QImage &image, const QByteArray &format)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (!writer.write(image))
        fail(QStringLiteral("cannot encode %1: %2").arg(QString::fromLatin1(format), writer.errorString()));
    return buffer.data();
}

// Qt's ICO writer stores one image per file, so each size is written alone and the entries are merged.
QByteArray multiSizeIco(const QList<QImage> &images)
{
    constexpr int headerSize = 6, entrySize = 16;
    QByteArray header(headerSize, '\0'), directory, payload;
    qToLittleEndian<quint16>(1, header.data() + 2);
    qToLittleEndian<quint16>(images.size(), header.data() + 4);
    for (const QImage &image : images) {
        const QByteArray single = encode(image, "ico");
        if (single.size() < headerSize + entrySize || qFromLittleEndian<quint16>(single.constData() + 4) != 1)
            fail(QStringLiteral("unexpected ICO layout from the image writer"));
        QByteArray entry = single.mid(headerSize, entrySize);
        const quint32 dataOffset = qFromLittleEndian<quint32>(entry.constData() + 12);
        qToLittleEndian<quint32>(headerSize + entrySize * images.size() + payload.size(), entry.data() + 12);
        directory += entry;
        payload += single.mid(dataOffset);
    }
    return header + directory + payload;
}

} // namespace

// The desktop's icon theme wants one picture per size; drawing each from the SVG keeps the small
// ones crisp where scaling the large one down would blur them.
void writeThemeIcons(const QString &svgPath, const QString &themeDir)
{
    auto mark = loadSvg(svgPath);
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(themeDir).arg(size);
        if (!QDir().mkpath(dir))
            fail(QStringLiteral("cannot create %1").arg(dir));
        writeFile(dir + QStringLiteral("/velmoran.png"), encode(render(*mark, size), "png"));
    }
}

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    if (argc == 4 && QByteArrayView(argv[1]) == "--theme-icons") {
        writeThemeIcons(QFile::decodeName(argv[2]), QFile::decodeName(argv[3]));
        return EXIT_SUCCESS;
    }
    if (argc != 3)
        fail(QStringLiteral("usage: velmoran_render_art SRC_DIR OUT_DIR | --theme-icons SVG THEME_DIR"));
    const QString src = QFile::decodeName(argv[1]), out = QFile::decodeName(argv[2]);

    auto mark = loadSvg(src + QStringLiteral("/velmoran-mark.svg"));
    auto logo = loadSvg(src + QStringLiteral("/velmoran-logo.svg"));

    writeFile(out + QStringLiteral("/velmoran-app.png"), encode(render(*mark, 256), "png"));
    QList<QImage> iconSizes;
    for (int size : {16, 24, 32, 48, 64})
        iconSizes.append(render(*mark, size));
    writeFile(out + QStringLiteral("/velmoran.ico"), multiSizeIco(iconSizes));
    writeFile(out + QStringLiteral("/velmoran-logo-center.png"), encode(render(*logo, 640), "png"));
    return EXIT_SUCCESS;
}
