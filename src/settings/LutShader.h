#pragma once

#include <QString>

struct CubeLut;

// A .cube LUT as one of the engine's user shaders: the table travels inside the shader as a 3D
// texture and is applied to the finished picture on the GPU.
namespace LutShader {

inline constexpr auto kPassName = "velmoran-3dlut";

QString source(const CubeLut &lut);
// Writes the shader into the user's private cache (named by its content, so the same LUT reuses
// one file) and returns its path; empty with *error set when it cannot be written.
QString writeToCache(const CubeLut &lut, QString *error);
// The shader for the .cube file at `path`, read and written as above; empty with *error set
// when the file is no usable LUT or the shader cannot be written.
QString forFile(const QString &path, QString *error);

} // namespace LutShader
