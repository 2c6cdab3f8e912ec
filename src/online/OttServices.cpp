#include "online/OttServices.h"

namespace {
const QString kAtmos = QStringLiteral("Dolby Atmos");
const QString kAtmosColor = QStringLiteral("#1565c0");
const QString kSurround = QStringLiteral("5.1");
const QString kSurroundColor = QStringLiteral("#1b5e20");
} // namespace

const QList<ServiceEntry> &ottServices()
{
    static const QList<ServiceEntry> services{
        {QStringLiteral("Netflix"), QStringLiteral("https://www.netflix.com/"), kAtmos, kAtmosColor,
         QStringLiteral("N"), QStringLiteral("#e50914"), QStringLiteral("#1a0000")},
        {QStringLiteral("Disney+"), QStringLiteral("https://www.disneyplus.com/"), kAtmos, kAtmosColor,
         QStringLiteral("D+"), QStringLiteral("#0063e5"), QStringLiteral("#00001a")},
        {QStringLiteral("Prime Video"), QStringLiteral("https://www.primevideo.com/"), kAtmos, kAtmosColor,
         QStringLiteral("▶"), QStringLiteral("#00a8e0"), QStringLiteral("#00101a")},
        {QStringLiteral("YouTube"), QStringLiteral("https://www.youtube.com/"), QStringLiteral("5.1 E-AC3"),
         kSurroundColor, QStringLiteral("▶"), QStringLiteral("#ff0000"), QStringLiteral("#1a0000")},
        {QStringLiteral("Wavve 웨이브"), QStringLiteral("https://www.wavve.com/"), kSurround, kSurroundColor,
         QStringLiteral("W"), QStringLiteral("#00b4b4"), QStringLiteral("#001a1a")},
        {QStringLiteral("Watcha 왓챠"), QStringLiteral("https://watcha.com/"), kSurround, kSurroundColor,
         QStringLiteral("W"), QStringLiteral("#e53935"), QStringLiteral("#1a0000")},
        {QStringLiteral("Tving 티빙"), QStringLiteral("https://www.tving.com/"), kSurround, kSurroundColor,
         QStringLiteral("T"), QStringLiteral("#e53935"), QStringLiteral("#1a0000")},
        {QStringLiteral("Coupang Play"), QStringLiteral("https://www.coupangplay.com/"), kSurround, kSurroundColor,
         QStringLiteral("▶"), QStringLiteral("#1565c0"), QStringLiteral("#00001a")},
        {QStringLiteral("Apple TV+"), QStringLiteral("https://tv.apple.com/"), kAtmos, kAtmosColor, QString(),
         QStringLiteral("#f5f5f5"), QStringLiteral("#111111")},
    };
    return services;
}

const QStringList &ottServiceChoiceLabels()
{
    static const QStringList labels{
        QStringLiteral("서비스 선택..."), QStringLiteral("Netflix"),       QStringLiteral("Disney+"),
        QStringLiteral("Amazon Prime"),   QStringLiteral("YouTube"),       QStringLiteral("Wavve (웨이브)"),
        QStringLiteral("Watcha (왓챠)"),  QStringLiteral("Tving (티빙)"),  QStringLiteral("Coupang Play"),
        QStringLiteral("Apple TV+")};
    return labels;
}

const QStringList &ottServiceChoiceUrls()
{
    static const QStringList urls = [] {
        QStringList list{QString()};
        for (const ServiceEntry &service : ottServices())
            list << service.homeUrl;
        return list;
    }();
    return urls;
}

QString ottAddressFromInput(const QString &typed)
{
    const QString text = typed.trimmed();
    if (text.isEmpty() || text.startsWith(QLatin1String("http://")) || text.startsWith(QLatin1String("https://")))
        return text;
    return QStringLiteral("https://") + text;
}
