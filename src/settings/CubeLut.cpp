#include "settings/CubeLut.h"

#include <QFile>
#include <QList>

#include <algorithm>
#include <cmath>
#include <span>

namespace {

bool fail(QString *error, const QString &reason)
{
    if (error)
        *error = reason;
    return false;
}

QString atLine(int line, const QString &reason)
{
    return QStringLiteral("%1번째 줄: %2").arg(line).arg(reason);
}

// Numbers are read the same in every locale; NaN or infinity would poison the texture.
bool readFloats(const QList<QByteArray> &fields, qsizetype from, std::span<float> out)
{
    if (fields.size() - from != qsizetype(out.size()))
        return false;
    for (size_t i = 0; i < out.size(); ++i) {
        bool ok = false;
        const double value = fields.at(from + qsizetype(i)).toDouble(&ok);
        if (!ok || !std::isfinite(value) || std::abs(value) > 1e6)
            return false;
        out[i] = float(value);
    }
    return true;
}

// An upper-case header keyword, never a number ("nan" and "inf" are lower case in data).
bool isKeyword(const QByteArray &field)
{
    if (field.isEmpty() || field.at(0) < 'A' || field.at(0) > 'Z')
        return false;
    return std::all_of(field.begin(), field.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
    });
}

} // namespace

std::optional<CubeLut> CubeLut::parse(const QByteArray &text, QString *error)
{
    if (text.size() > kMaxFileBytes) {
        fail(error, QStringLiteral("파일이 너무 큽니다"));
        return std::nullopt;
    }
    CubeLut lut;
    size_t expected = 0;
    const QList<QByteArray> lines = text.split('\n');
    for (qsizetype index = 0; index < lines.size(); ++index) {
        const int lineNo = int(index) + 1;
        QByteArray line = lines.at(index);
        // A comment runs from a '#' to the end of the line, except inside the quoted title.
        bool quoted = false;
        for (qsizetype i = 0; i < line.size(); ++i) {
            if (line.at(i) == '"') {
                quoted = !quoted;
            } else if (line.at(i) == '#' && !quoted) {
                line.truncate(i);
                break;
            }
        }
        line = line.trimmed();
        if (line.isEmpty())
            continue;
        const QList<QByteArray> fields = line.simplified().split(' ');
        const QByteArray &key = fields.first();
        const bool inData = !lut.rgb.empty();
        auto refuse = [&](const QString &reason) {
            fail(error, atLine(lineNo, reason));
            return std::nullopt;
        };

        if (key == "TITLE") {
            if (inData)
                return refuse(QStringLiteral("TITLE이 데이터 뒤에 있습니다"));
            QByteArray title = line.mid(5).trimmed();
            if (title.size() >= 2 && title.startsWith('"') && title.endsWith('"'))
                title = title.mid(1, title.size() - 2);
            lut.title = QString::fromUtf8(title);
        } else if (key == "LUT_1D_SIZE") {
            fail(error, QStringLiteral("1D LUT은 지원하지 않습니다 (3D LUT만 사용할 수 있습니다)"));
            return std::nullopt;
        } else if (key == "LUT_3D_SIZE") {
            bool ok = false;
            const int size = fields.size() == 2 ? fields.at(1).toInt(&ok) : 0;
            if (inData || lut.size != 0)
                return refuse(QStringLiteral("LUT_3D_SIZE가 두 번 있거나 데이터 뒤에 있습니다"));
            if (!ok || size < kMinSize || size > kMaxSize)
                return refuse(QStringLiteral("LUT 크기는 %1~%2이어야 합니다").arg(kMinSize).arg(kMaxSize));
            lut.size = size;
            expected = size_t(size) * size * size * 3;
            lut.rgb.reserve(expected);
        } else if (key == "DOMAIN_MIN" || key == "DOMAIN_MAX") {
            auto &target = key == "DOMAIN_MIN" ? lut.domainMin : lut.domainMax;
            if (inData || !readFloats(fields, 1, target))
                return refuse(QStringLiteral("%1 값이 잘못되었습니다").arg(QString::fromLatin1(key)));
        } else if (key == "LUT_3D_INPUT_RANGE") {
            std::array<float, 2> range{};
            if (inData || !readFloats(fields, 1, range))
                return refuse(QStringLiteral("LUT_3D_INPUT_RANGE 값이 잘못되었습니다"));
            lut.domainMin.fill(range[0]);
            lut.domainMax.fill(range[1]);
        } else if (!inData && isKeyword(key)) {
            // Other tools' header lines (LUT_IN_VIDEO_RANGE, LUT_OUT_VIDEO_RANGE, …) say nothing
            // this reader needs; ffmpeg's own reader passes over them too.
            continue;
        } else {
            std::array<float, 3> entry{};
            if (!readFloats(fields, 0, entry))
                return refuse(QStringLiteral("알 수 없는 항목이거나 숫자 세 개가 아닙니다"));
            if (lut.size == 0)
                return refuse(QStringLiteral("LUT_3D_SIZE 없이 데이터가 시작됩니다"));
            if (lut.rgb.size() >= expected)
                return refuse(QStringLiteral("데이터가 LUT 크기보다 많습니다"));
            lut.rgb.insert(lut.rgb.end(), entry.begin(), entry.end());
        }
    }
    if (lut.size == 0) {
        fail(error, QStringLiteral("LUT_3D_SIZE가 없습니다"));
        return std::nullopt;
    }
    if (lut.rgb.size() != expected) {
        fail(error, QStringLiteral("데이터가 %1개여야 하는데 %2개입니다")
                        .arg(expected / 3)
                        .arg(lut.rgb.size() / 3));
        return std::nullopt;
    }
    for (int c = 0; c < 3; ++c) {
        if (!(lut.domainMin[c] < lut.domainMax[c])) {
            fail(error, QStringLiteral("DOMAIN_MIN이 DOMAIN_MAX보다 작아야 합니다"));
            return std::nullopt;
        }
    }
    return lut;
}

std::optional<CubeLut> CubeLut::load(const QString &path, QString *error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        fail(error, QStringLiteral("파일을 열 수 없습니다"));
        return std::nullopt;
    }
    if (file.size() > kMaxFileBytes) {
        fail(error, QStringLiteral("파일이 너무 큽니다"));
        return std::nullopt;
    }
    return parse(file.read(kMaxFileBytes + 1), error);
}
