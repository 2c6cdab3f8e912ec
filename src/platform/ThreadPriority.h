#pragma once

// Background work that must give way to playback (preview decoding and drawing) runs on threads
// that lower their own scheduling priority. Threads they start inherit it, so an engine created
// on such a thread keeps all its threads low.
namespace ThreadPriority {

// The niceness background threads take: playback's threads get about ten times their share of
// the processor when both want it, while an otherwise idle machine still runs them at full
// speed. Measured on 2 busy cores (1080p H.264 keyframe seeks, load 15): nice 10 kept a seek
// near 40–100 ms, nice 19 let other programs' nice-10 builds starve it to 100–400 ms.
constexpr int kBackgroundNice = 10;

// Lowers the calling thread (only it) to kBackgroundNice; false where the system refuses.
bool lowerCurrentThread();

} // namespace ThreadPriority
