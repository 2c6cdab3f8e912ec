#include "settings/PluginChain.h"

#include <QFileInfo>
#include <QLibrary>
#include <QRegularExpression>

namespace {
QString escaped(const QString &text, QLatin1StringView specials)
{
    QString out;
    out.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (specials.contains(c))
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

// The leading members of LADSPA's descriptor, which the ABI keeps in this order; only these are
// read, so the SDK header is not needed to build.
struct LadspaDescriptorHead {
    unsigned long uniqueId;
    const char *label;
    int properties;
    const char *name;
    const char *maker;
    const char *copyright;
    unsigned long portCount;
    const int *portDescriptors;
    const char *const *portNames;
};
using LadspaDescriptorFunction = const LadspaDescriptorHead *(*)(unsigned long);
constexpr int kPortInput = 0x1;
constexpr int kPortControl = 0x4;
constexpr int kPortAudio = 0x8;
} // namespace

QString AudioGraph::lavfiGraph(const QString &graph)
{
    return QStringLiteral("lavfi=graph=%%1%%2").arg(graph.toUtf8().size()).arg(graph);
}

QString AudioGraph::graphOptionValue(const QString &raw)
{
    // First for the filter's option parser, then for the graph parser around it.
    return escaped(escaped(raw, QLatin1StringView("\\':")), QLatin1StringView("\\'[],;"));
}

QString AudioGraph::roomCorrection(const QString &irPath, int irChannels, double gain)
{
    const QString shape = irChannels == 1 ? QStringLiteral("pan=stereo|c0=c0|c1=c0")
                                          : QStringLiteral("aformat=channel_layouts=stereo");
    // afir here puts out twice the convolution (+6 dB); the 0.5 takes that back.
    return lavfiGraph(QStringLiteral("aformat=channel_layouts=stereo[m];amovie=filename=%1,%2[ir];"
                                     "[m][ir]afir=gtype=none,volume=%3")
                          .arg(graphOptionValue(irPath), shape, QString::number(0.5 * gain, 'g', 8)));
}

LadspaLibrary LadspaLibrary::inspect(const QString &path)
{
    LadspaLibrary library;
    const QFileInfo info(path);
    if (!info.isFile() || !info.isReadable()) {
        library.error = QStringLiteral("플러그인 파일을 찾을 수 없습니다.");
        return library;
    }
    if (info.suffix().toLower() != QLatin1String("so")) {
        library.error = QStringLiteral("LADSPA 플러그인(.so) 파일이 아닙니다.");
        return library;
    }
    // Stays loaded: the engine loads the same library again, and LADSPA libraries are not
    // written to be unloaded and reloaded in one process.
    QLibrary lib(info.absoluteFilePath());
    const auto descriptor = reinterpret_cast<LadspaDescriptorFunction>(lib.resolve("ladspa_descriptor"));
    if (!descriptor) {
        library.error = QStringLiteral("LADSPA 플러그인이 아닙니다: %1").arg(info.fileName());
        return library;
    }
    for (unsigned long i = 0; i < 1000; ++i) {
        const LadspaDescriptorHead *d = descriptor(i);
        if (!d)
            break;
        if (!d->label)
            continue;
        Plugin plugin;
        plugin.label = QString::fromUtf8(d->label);
        plugin.name = d->name ? QString::fromUtf8(d->name) : plugin.label;
        for (unsigned long port = 0; d->portDescriptors && port < d->portCount; ++port) {
            const int kind = d->portDescriptors[port];
            if (kind & kPortAudio)
                (kind & kPortInput ? plugin.audioInputs : plugin.audioOutputs) += 1;
            else if ((kind & kPortControl) && (kind & kPortInput))
                plugin.controls << (d->portNames && d->portNames[port] ? QString::fromUtf8(d->portNames[port])
                                                                       : QString());
        }
        library.plugins << plugin;
    }
    if (library.plugins.isEmpty())
        library.error = QStringLiteral("플러그인이 들어 있지 않은 라이브러리입니다: %1").arg(info.fileName());
    return library;
}

const LadspaLibrary::Plugin *LadspaLibrary::find(const QString &label) const
{
    for (const Plugin &plugin : plugins)
        if (plugin.label == label)
            return &plugin;
    return nullptr;
}

QString PluginChain::problem(const PluginEntry &entry)
{
    const LadspaLibrary library = LadspaLibrary::inspect(entry.path);
    if (!library.error.isEmpty())
        return library.error;
    const LadspaLibrary::Plugin *plugin = library.find(entry.label);
    if (!plugin)
        return QStringLiteral("라이브러리에 '%1' 플러그인이 없습니다.").arg(entry.label);
    if (plugin->audioInputs < 1 || plugin->audioOutputs < 1)
        return QStringLiteral("오디오 입출력이 없는 플러그인입니다: %1").arg(entry.label);
    // Only c<index>=<number> terms: anything else would be handed to the filter parser.
    static const QRegularExpression control(QStringLiteral(R"(^c(\d+)=[-+]?(\d+\.?\d*|\.\d+)(e[-+]?\d+)?$)"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (!entry.controls.isEmpty()) {
        for (const QString &term : entry.controls.split(QLatin1Char('|'))) {
            const auto match = control.match(term.trimmed());
            if (!match.hasMatch() || match.captured(1).toInt() >= plugin->controls.size())
                return QStringLiteral("컨트롤 값이 잘못되었습니다: %1").arg(term);
        }
    }
    return {};
}

QString PluginChain::filterText(const QList<PluginEntry> &entries)
{
    QStringList filters;
    for (const PluginEntry &entry : entries) {
        QString filter = QStringLiteral("ladspa=file=%1:plugin=%2")
                             .arg(AudioGraph::graphOptionValue(entry.path), AudioGraph::graphOptionValue(entry.label));
        if (!entry.controls.isEmpty()) {
            QString controls = entry.controls;
            controls.remove(QLatin1Char(' '));
            filter += QStringLiteral(":controls=") + AudioGraph::graphOptionValue(controls);
        }
        filters << filter;
    }
    return filters.isEmpty() ? QString() : AudioGraph::lavfiGraph(filters.join(QLatin1Char(',')));
}

QStringList PluginChain::toStored(const QList<PluginEntry> &entries)
{
    QStringList stored;
    for (const PluginEntry &entry : entries)
        stored << QStringList{entry.path, entry.label, entry.controls}.join(QLatin1Char('\t'));
    return stored;
}

QList<PluginEntry> PluginChain::fromStored(const QStringList &stored)
{
    QList<PluginEntry> entries;
    for (const QString &text : stored) {
        const QStringList fields = text.split(QLatin1Char('\t'));
        PluginEntry entry{fields.value(0), fields.value(1), fields.value(2)};
        if (entry.label.isEmpty()) {
            // A bare path: its library's first plug-in.
            const LadspaLibrary library = LadspaLibrary::inspect(entry.path);
            if (!library.plugins.isEmpty())
                entry.label = library.plugins.first().label;
        }
        if (!entry.path.isEmpty())
            entries << entry;
    }
    return entries;
}
