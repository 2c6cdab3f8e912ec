#pragma once

#include <QString>

#include <array>
#include <optional>

class EngineSession;

// The places in the engine's one video filter chain that features own.
enum class VideoFilterSlot { Vr360 };
inline constexpr int kVideoFilterSlotCount = 1;

// The shared video filter chain, kept like the audio one (AudioFilterChain): each feature owns
// one labelled entry ("@label:filters") and changes only that. Entries are added with a
// synchronous command whose result is checked, since a filter the engine cannot build would
// otherwise stay in the chain and stop every later file from starting.
class VideoFilterChain
{
public:
    explicit VideoFilterChain(EngineSession &session) : session_(session) {}

    static QString label(VideoFilterSlot slot);

    // Negative (the engine's code) when refused; the slot then keeps what it held.
    int set(VideoFilterSlot slot, const QString &filters);
    int clear(VideoFilterSlot slot);
    QString filters(VideoFilterSlot slot) const;
    // Changes one option of the running entry without rebuilding the chain. The engine's code
    // says little: some filters take the change yet report an error.
    int sendCommand(VideoFilterSlot slot, const QString &option, const QString &value);

private:
    EngineSession &session_;
    std::array<std::optional<QString>, kVideoFilterSlotCount> entries_;
};

// What the 360° view shows: the source's projection turned into a flat picture looking in one
// direction with one field of view (ffmpeg's v360 filter).
struct Vr360View {
    static constexpr double kDefaultFov = 100.0;
    static constexpr double kMinFov = 30.0;
    static constexpr double kMaxFov = 150.0;

    // v360's name for one of the player's projections ("equirectangular", "fisheye",
    // "hequirectangular", "eac"); nothing for another.
    static std::optional<QString> inputFor(const QString &projection);

    QString input;
    double yaw = 0.0;   // degrees, -180..180, positive looks right
    double pitch = 0.0; // degrees, -90..90, positive looks up
    double fov = kDefaultFov;

    QString filterText() const;
    void turn(double yawDegrees, double pitchDegrees);
    void zoom(double fovDegrees);
};
