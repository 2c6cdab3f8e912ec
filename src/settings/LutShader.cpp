#include "settings/LutShader.h"

#include "settings/CubeLut.h"

#include <QCryptographicHash>
#include <QDir>
#include <QSaveFile>
#include <QStandardPaths>
#include <QtEndian>

namespace {

QString glslFloat(float value)
{
    QString text = QString::number(double(value), 'g', 9);
    if (!text.contains(QLatin1Char('.')) && !text.contains(QLatin1Char('e')))
        text += QLatin1String(".0");
    return text;
}

QString glslVec3(const std::array<float, 3> &v)
{
    return QStringLiteral("vec3(%1, %2, %3)").arg(glslFloat(v[0]), glslFloat(v[1]), glslFloat(v[2]));
}

// The engine takes texture data as one line of hex, in the host layout of the format: four
// 32-bit floats per texel for rgba16f.
QByteArray texelHex(const CubeLut &lut)
{
    const size_t texels = lut.rgb.size() / 3;
    QByteArray raw(qsizetype(texels * 16), Qt::Uninitialized);
    auto *out = reinterpret_cast<uchar *>(raw.data());
    for (size_t i = 0; i < texels; ++i) {
        const float rgba[4] = {lut.rgb[i * 3], lut.rgb[i * 3 + 1], lut.rgb[i * 3 + 2], 1.0f};
        for (int c = 0; c < 4; ++c)
            qToLittleEndian(rgba[c], out + i * 16 + c * 4);
    }
    return raw.toHex();
}

} // namespace

namespace LutShader {

QString source(const CubeLut &lut)
{
    const QString n = QString::number(lut.size);
    // The hook sees the picture after colour management, in the display's signal values: the
    // place where a display calibration belongs. Texel centres sit half a texel in from each edge.
    return QStringLiteral("//!HOOK OUTPUT\n"
                          "//!BIND HOOKED\n"
                          "//!BIND velmoran_lut\n"
                          "//!DESC %1\n"
                          "vec4 hook()\n"
                          "{\n"
                          "    vec4 color = HOOKED_texOff(0);\n"
                          "    vec3 domainMin = %2;\n"
                          "    vec3 domainMax = %3;\n"
                          "    vec3 unit = clamp((color.rgb - domainMin) / (domainMax - domainMin), 0.0, 1.0);\n"
                          "    vec3 coord = unit * ((%4.0 - 1.0) / %4.0) + 0.5 / %4.0;\n"
                          "    color.rgb = texture(velmoran_lut, coord).rgb;\n"
                          "    return color;\n"
                          "}\n"
                          "\n"
                          "//!TEXTURE velmoran_lut\n"
                          "//!SIZE %4 %4 %4\n"
                          "//!FORMAT rgba16f\n"
                          "//!FILTER LINEAR\n")
               .arg(QLatin1String(kPassName), glslVec3(lut.domainMin), glslVec3(lut.domainMax), n)
           + QString::fromLatin1(texelHex(lut)) + QLatin1Char('\n');
}

QString writeToCache(const CubeLut &lut, QString *error)
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    const QString folder = base + QStringLiteral("/velmoran/lut");
    if (base.isEmpty() || !QDir().mkpath(folder)
        || !QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner)) {
        if (error)
            *error = QStringLiteral("캐시 폴더를 만들 수 없습니다");
        return {};
    }
    const QByteArray text = source(lut).toUtf8();
    // Named by content: a safe name whatever the LUT's own file is called.
    const QString path = folder + QStringLiteral("/lut-%1.glsl").arg(
        QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex().left(32)));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size()
        || !file.setPermissions(QFile::ReadOwner | QFile::WriteOwner) || !file.commit()) {
        if (error)
            *error = QStringLiteral("셰이더 파일을 쓸 수 없습니다");
        return {};
    }
    return path;
}

QString forFile(const QString &path, QString *error)
{
    const std::optional<CubeLut> lut = CubeLut::load(path, error);
    return lut ? writeToCache(*lut, error) : QString();
}

} // namespace LutShader
