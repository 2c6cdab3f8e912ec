#pragma once

#include <QString>
#include <QStringList>

// Finding and asking the speech-recognition script (whisper_server.py) and its interpreter.
namespace SpeechScript {

struct Request
{
    QString mediaPath;
    QString model;    // "base", "medium", "large-v3"
    QString language; // "auto" or a two-letter code
    bool saveSrt = false;
};

// What a probe found: the interpreter that has a speech engine, and the engine's name
// ("faster-whisper" or "pocketsphinx"). Both empty when none has one.
struct Engine
{
    QString interpreter;
    QString name;
    bool isAvailable() const { return !name.isEmpty(); }
};

// VELMORAN_WHISPER_SCRIPT when set; else beside the executable, then the installed data folder
// (relative to the executable, then the XDG data folders). Empty when there is none.
QString scriptPath();

// VELMORAN_PYTHON alone when set; else python3 from the search path, then the system's
// /usr/bin/python3 (a private python3 first on the path often lacks Debian's python packages).
QStringList interpreterCandidates();

// Runs the script's probe with each candidate in turn until one names an engine; all of it
// within `timeoutMs`.
Engine probe(const QString &script, int timeoutMs);

// Everything after the interpreter: unbuffered, so each segment arrives as it is printed.
QStringList arguments(const QString &script, const Request &request);

// First line of nvidia-smi's GPU names; empty when there is no NVIDIA GPU or no nvidia-smi.
QString gpuName(int timeoutMs);

} // namespace SpeechScript
