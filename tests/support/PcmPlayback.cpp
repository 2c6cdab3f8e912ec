#include "PcmPlayback.h"

#include "engine/RenderEnvironment.h"

#include <QSignalSpy>
#include <QTest>

PcmPlayback::PcmPlayback()
{
    if (!outputs_.isValid())
        return;
    qputenv("VELMORAN_AUDIO_OUTPUT", "pcm");
    auto core = std::make_unique<MpvCore>();
    core->setEnvironmentDetector([] { return RenderEnvironment(); });
    if (!core->initialize(0))
        return;
    // No drawing surface here: the covers beside the fixtures would be a picture nobody draws.
    core->setMpvProperty(QStringLiteral("vid"), QStringLiteral("no"));
    core_ = std::move(core);
}

PcmPlayback::~PcmPlayback() = default;

WavAudio PcmPlayback::play(const QString &path)
{
    const QString output = outputs_.filePath(QStringLiteral("out%1.wav").arg(++played_));
    core_->setMpvProperty(QStringLiteral("ao-pcm-file"), output);
    QSignalSpy ended(core_.get(), &MpvCore::playbackEnded);
    core_->loadFile(path);
    WavAudio audio;
    if (QTest::qWaitFor([&] { return !ended.isEmpty(); }, 10000)) {
        core_->stop(); // closes the output, which completes the file
        (void)QTest::qWaitFor([&] { return (audio = readWav(output)).channels > 0; }, 5000);
    }
    return audio;
}
