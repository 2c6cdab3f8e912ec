#pragma once

#include <QString>

// Locations the test harness passes in through the environment. Every accessor aborts the test
// with a clear message when its input is missing, so a broken fixture or harness can never turn
// into a test that quietly checks nothing and passes.
namespace TestMedia {

// The folder the media fixtures were generated into (env VELMORAN_TEST_MEDIA).
QString directory();

// Absolute path of one generated fixture, e.g. path("clip_320x240.mp4"); the file must exist.
QString path(const QString &name);

// Absolute path of the built player executable (env VELMORAN_BINARY); it must exist.
QString playerBinary();

} // namespace TestMedia
