#pragma once

#include "engine/RenderEnvironment.h"

#include <QString>

#include <optional>

// What the machine offers for drawing, learnt without loading an OpenGL driver: asking the driver
// itself (a GL context) loads Mesa's rasteriser and its compiler on a machine without a GPU, the
// largest single cost of a start there.
struct GraphicsDevices {
    // A render node (/dev/dri/renderD*) or NVIDIA's driver: OpenGL may run on a GPU. Without
    // one, any OpenGL this process could get is drawn by the CPU.
    bool gpu = false;
    // Mesa is told to rasterise on the CPU whatever the hardware (LIBGL_ALWAYS_SOFTWARE, or
    // GALLIUM_DRIVER naming a software driver); the name of the variable that says so.
    QString softwareForcedBy;
    // The GPUs, their kernel drivers, the installed libraries and the display: an answer the
    // driver gave is valid as long as this stays the same.
    QString fingerprint;
};

// Looks under `root` ("/" on a real machine) and at the environment.
GraphicsDevices scanGraphicsDevices(const QString &root = QStringLiteral("/"));

// The driver's last answer, kept in `file` between starts; nothing when none was kept or it was
// kept for another fingerprint.
std::optional<OpenGlSupport> storedOpenGlAnswer(const QString &file, const QString &fingerprint);
void storeOpenGlAnswer(const QString &file, const QString &fingerprint, const OpenGlSupport &support);
// The file the player keeps it in, under the user's cache folder.
QString openGlAnswerFile();

// The surface, when it can be settled without asking the driver: software when asked for, or
// (on "auto") when there is no GPU to draw with or Mesa is told not to use one; the rule table
// over a kept answer. Nothing when only the driver can tell.
std::optional<VideoSurfaceKind> videoSurfaceWithoutProbe(VideoSurfacePreference preference,
                                                         const GraphicsDevices &devices,
                                                         const std::optional<OpenGlSupport> &stored);
