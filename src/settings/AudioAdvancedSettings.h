#pragma once

#include "settings/PluginChain.h"

#include <QStringList>

class MpvCore;

// The high-end audio page's choices as the store keeps them, and how a freshly started engine
// is given them without the page.
struct AudioAdvancedChoices {
    QString irPath;
    int gainDb = 0;
    bool irNormalize = true;
    bool roomCorrection = false;
    QList<PluginEntry> plugins;
    bool pluginsOn = false;

    static AudioAdvancedChoices load();
    void save() const;
};

namespace AudioAdvanced {

// The engine filter text for room correction; empty with `error` set when it cannot be built.
QString roomCorrectionFilter(const QString &irPath, int gainDb, bool normalize, QString *error);
// The first reason the plug-ins cannot go to the engine (file, library, label, controls); empty
// when they can.
QString chainProblem(const QList<PluginEntry> &entries);

// Puts the saved room correction and plug-in chain into a started engine. A file that cannot be
// read now (a drive not mounted yet) keeps the choice, to be applied at the next start; what the
// engine refuses, from files it could read, is switched off in the store. Returns what the user
// is to be told about choices that could not be applied.
QStringList applySaved(MpvCore *engine);

} // namespace AudioAdvanced
