#include "settings/ImpulseResponse.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <cstring>

namespace {
// Whole files are read at once; 30 s of 8 channels of doubles at 192 kHz stays well below this.
constexpr qint64 kMaxFileBytes = 512LL * 1024 * 1024;

constexpr quint16 kFormatPcm = 1;
constexpr quint16 kFormatFloat = 3;
constexpr quint16 kFormatExtensible = 0xFFFE;

quint32 le32(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint32(u[0]) | quint32(u[1]) << 8 | quint32(u[2]) << 16 | quint32(u[3]) << 24;
}
quint16 le16(const char *p)
{
    const auto *u = reinterpret_cast<const unsigned char *>(p);
    return quint16(u[0] | u[1] << 8);
}

ImpulseResponse failure(const char *message)
{
    ImpulseResponse ir;
    ir.error = QString::fromUtf8(message);
    return ir;
}

double sampleAt(const char *p, int bits, bool isFloat)
{
    if (isFloat) {
        if (bits == 32) {
            float f;
            std::memcpy(&f, p, 4);
            return f;
        }
        double d;
        std::memcpy(&d, p, 8);
        return d;
    }
    switch (bits) {
    case 8:
        return (int(static_cast<unsigned char>(*p)) - 128) / 128.0;
    case 16:
        return qint16(le16(p)) / 32768.0;
    case 24: {
        const auto *u = reinterpret_cast<const unsigned char *>(p);
        const qint32 v = qint32(quint32(u[0]) << 8 | quint32(u[1]) << 16 | quint32(u[2]) << 24) >> 8;
        return v / 8388608.0;
    }
    default:
        return qint32(le32(p)) / 2147483648.0;
    }
}
} // namespace

ImpulseResponse ImpulseResponse::parse(const QByteArray &wav)
{
    const char *data = wav.constData();
    const qint64 size = wav.size();
    if (size < 12 || std::memcmp(data, "RIFF", 4) != 0 || std::memcmp(data + 8, "WAVE", 4) != 0)
        return failure("WAV 파일이 아닙니다.");

    bool haveFormat = false;
    quint16 format = 0;
    ImpulseResponse ir;
    quint16 blockAlign = 0;
    qint64 offset = 12;
    while (offset + 8 <= size) {
        const char *chunk = data + offset;
        const qint64 chunkSize = le32(chunk + 4);
        const qint64 body = offset + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (chunkSize < 16 || body + chunkSize > size)
                return failure("WAV 형식 정보가 손상되었습니다.");
            format = le16(data + body);
            ir.channels = le16(data + body + 2);
            ir.sampleRate = int(le32(data + body + 4));
            blockAlign = le16(data + body + 12);
            ir.bitsPerSample = le16(data + body + 14);
            if (format == kFormatExtensible) {
                if (chunkSize < 40)
                    return failure("WAV 형식 정보가 손상되었습니다.");
                format = le16(data + body + 24); // the sub-format GUID begins with the format code
            }
            haveFormat = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!haveFormat)
                return failure("WAV 형식 정보가 데이터보다 뒤에 있거나 없습니다.");
            if (format != kFormatPcm && format != kFormatFloat)
                return failure("지원하지 않는 WAV 인코딩입니다 (PCM 또는 부동소수점만 지원).");
            ir.isFloat = format == kFormatFloat;
            const int bits = ir.bitsPerSample;
            const bool bitsFit = ir.isFloat ? (bits == 32 || bits == 64)
                                            : (bits == 8 || bits == 16 || bits == 24 || bits == 32);
            if (!bitsFit)
                return failure("지원하지 않는 샘플 비트 수입니다.");
            if (ir.channels < 1 || ir.sampleRate < 1 || blockAlign != ir.channels * (bits / 8))
                return failure("WAV 형식 정보가 손상되었습니다.");
            if (body + chunkSize > size)
                return failure("WAV 파일이 잘려 있습니다.");
            ir.frames = chunkSize / blockAlign;
            if (ir.frames == 0)
                return failure("WAV 파일에 샘플이 없습니다.");
            const int bytes = bits / 8;
            const char *p = data + body;
            const qint64 samples = ir.frames * ir.channels;
            for (qint64 i = 0; i < samples; ++i, p += bytes) {
                const double v = std::fabs(sampleAt(p, bits, ir.isFloat));
                if (!std::isfinite(v))
                    return failure("WAV 파일에 잘못된 샘플 값이 있습니다.");
                ir.peak = std::max(ir.peak, v);
            }
            return ir;
        }
        // Chunks are padded to even sizes.
        offset = body + chunkSize + (chunkSize & 1);
    }
    return failure(haveFormat ? "WAV 파일에 오디오 데이터가 없습니다." : "WAV 형식 정보가 없습니다.");
}

ImpulseResponse ImpulseResponse::readFile(const QString &path)
{
    const QFileInfo info(path);
    if (!info.isFile())
        return failure("IR 파일을 찾을 수 없습니다.");
    if (info.size() > kMaxFileBytes)
        return failure("IR 파일이 너무 큽니다.");
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return failure("IR 파일을 읽을 수 없습니다.");
    return parse(file.readAll());
}

QString ImpulseResponse::unusableReason() const
{
    if (!ok())
        return error;
    if (channels > 2)
        return QStringLiteral("모노 또는 스테레오 IR만 사용할 수 있습니다 (%1채널).").arg(channels);
    if (seconds() > kMaxSeconds)
        return QStringLiteral("IR이 너무 깁니다: %1초 (최대 %2초).")
            .arg(seconds(), 0, 'f', 1)
            .arg(kMaxSeconds, 0, 'f', 0);
    if (peak <= 0.0)
        return QStringLiteral("IR 파일이 무음입니다.");
    return {};
}
