// MpvCore: the preview engine's set-up, a second engine beside the one that plays.
#include "engine/MpvCore.h"

#include <QDebug>

bool MpvCore::initializeForPreview()
{
    if (initialized_)
        return true;
    preview_ = true;
    // Everything the preview does not show is switched off so that it costs nothing while the
    // film plays: no sound, subtitles, cover art, scripts or read-ahead; one decoding thread
    // (and one for the scaler) next to the playing engine's; seeks to keyframes unless asked
    // otherwise, which need one picture decoded instead of up to a whole group of them.
    static const std::pair<const char *, const char *> options[] = {
        {"vo", "libmpv"},
        {"ao", "null"},
        {"aid", "no"},
        {"sid", "no"},
        {"audio-display", "no"},
        {"cover-art-auto", "no"},
        {"sub-auto", "no"},
        {"audio-file-auto", "no"},
        {"load-scripts", "no"},
        {"ytdl", "no"},
        {"osc", "no"},
        {"osd-level", "0"},
        {"input-default-bindings", "no"},
        {"load-stats-overlay", "no"},
        {"idle", "yes"},
        {"pause", "yes"},
        // Held on its picture at the end too, and at a start past the end.
        {"keep-open", "always"},
        {"hr-seek", "no"},
        {"hwdec", "no"},
        {"vd-lavc-threads", "1"},
        // Thumbnails do not need the deblocking pass; it is a fair share of H.264 decoding.
        {"vd-lavc-skiploopfilter", "all"},
        {"vd-lavc-fast", "yes"},
        {"zimg-threads", "1"},
        {"framedrop", "no"},
        {"cache", "no"},
        {"demuxer-readahead-secs", "0"},
        {"demuxer-max-bytes", "4MiB"},
        {"demuxer-max-back-bytes", "0"},
    };
    for (const auto &[name, value] : options)
        setInitialOption(QLatin1String(name), QLatin1String(value));
    session_->requestLogMessages("error");
    setVideoSurface(VideoSurfaceKind::Software);

    const int result = session_->initialize();
    if (result < 0) {
        qWarning().noquote() << "[Preview] 미리보기 엔진 초기화 실패:" << session_->errorString(result);
        return false;
    }
    // Events arrive through the wakeup callback alone: no poll timer runs beside the playing engine's.
    session_->setWakeupCallback(&MpvCore::wakeupCallback, this);
    initialized_ = true;
    return true;
}
