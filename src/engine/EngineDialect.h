#pragma once

#include <QString>

#include <optional>

// The player decides in its own vocabulary (Windows back-end names, scaler and option values
// of a newer engine). This translates one option value into what this libmpv accepts with the
// same meaning, at the moment it is written. nullopt: leave the engine's own default.
std::optional<QString> engineValueFor(const QString &name, const QString &value);

// Some values the player reads by their older property names live elsewhere in this engine
// (there, "audio-channels" and "audio-samplerate" name the output options, not the stream).
// Reads and observations go to the engine's name; events come back under the player's.
QString engineReadName(const QString &name);
QString playerReadName(const QString &engineName);
// Properties this engine knows under another name ("screenshot-dir" is "screenshot-directory").
QString engineWriteName(const QString &name);
// This engine describes a channel layout it cannot name as "unknownN"; the player wants N.
QString playerChannelText(const QString &engineText);
