#pragma once
#include <atomic>
#include <functional>
#include <string>

#include "engine/metronome.h"
#include "engine/song_plan.h"

// Click tracks: a song rendered by the same engine the window plays through, from its first click
// to its end, without a window or a sound device, block by block (memory stays a few blocks).
//
// Threads (see sound/threads.h): any one thread; the engine's audio side runs on it.
namespace song {

// Renders `plan` with what `settings` plays (its samples kept alive by the caller) at the stream's
// rate, handing each block of interleaved stereo frames to `sink` (false: stop). The first frame is
// the first click's (or the start of a voice swelling into it); the last, the song's end.
bool RenderClickTrack(const engine::Settings &settings, const engine::SongPlan &plan,
                      const std::function<bool(const float *stereo, int frames)> &sink);

// Writes the click track to `outPath` at `rate` frames a second, in the format its extension names
// (.wav, .flac, .aif/.aiff; 24-bit), converting from the stream's rate where they differ. The file
// is written beside `outPath` under another name and renamed to it when complete. Returns an
// empty string, or the one reason nothing was written. Once `cancel` (when given) is set, another
// thread asks it to stop: the file under the other name is removed, `outPath` stays as it was.
std::string WriteClickTrack(const std::string &outPath, int rate, const engine::Settings &settings,
                            const engine::SongPlan &plan, const std::atomic<bool> *cancel = nullptr);

} // namespace song
