#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Filter texts for the high-end audio page, built so that nothing in a file name can end up as
// filter syntax: a quote or comma in a path is data, never another filter.
namespace AudioGraph {
// `lavfi=graph=…` with the graph length-quoted for the engine.
QString lavfiGraph(const QString &graph);
// A raw value (a path, a label) made safe as one option of a filter inside such a graph.
QString graphOptionValue(const QString &raw);
// Room correction with the response in `irPath`: any source is shaped to stereo first, so a
// 5.1 film neither loses its surrounds nor its centre, and the output is scaled by `gain`.
QString roomCorrection(const QString &irPath, int irChannels, double gain);
} // namespace AudioGraph

// One LADSPA plug-in of a chain: the library, the plug-in's label inside it, and its control
// values in ffmpeg's notation ("c0=0.5|c1=2"), empty for the plug-in's defaults.
struct PluginEntry {
    QString path;
    QString label;
    QString controls;
    bool operator==(const PluginEntry &) const = default;
};

// What a LADSPA library offers, read by loading it.
struct LadspaLibrary {
    struct Plugin {
        QString label;
        QString name;
        int audioInputs = 0;
        int audioOutputs = 0;
        QStringList controls; // names of the control inputs, in port order (c0, c1, …)
    };
    QString error; // empty when the library loaded and offers at least one plug-in
    QList<Plugin> plugins;

    static LadspaLibrary inspect(const QString &path);
    const Plugin *find(const QString &label) const;
};

namespace PluginChain {
// The chain as one filter text, in list order; empty for none.
QString filterText(const QList<PluginEntry> &entries);
// Why the entry cannot go to the engine (file, library, label, controls); empty when it can.
QString problem(const PluginEntry &entry);
// Stored form: one text per entry, "path\tlabel\tcontrols" (a tab cannot be typed into a path
// chooser, and it keeps the list one flat string list).
QStringList toStored(const QList<PluginEntry> &entries);
QList<PluginEntry> fromStored(const QStringList &stored);
} // namespace PluginChain
