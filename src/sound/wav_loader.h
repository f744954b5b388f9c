#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "sound/sample.h"

// Reading WAV files into Samples. SDL decodes (PCM 8/16/24/32 bit, float, A-law, mu-law, ADPCM,
// WAVE_FORMAT_EXTENSIBLE) and converts to the stream's format; everything else is refused.
//
// Threads (see sound/threads.h): any thread except the audio thread (these functions read files and
// allocate). SDL need not be initialised.
namespace sound {

struct LoadLimits {
    // Larger files are refused before they are read, so that a stray file never stalls the UI.
    std::uintmax_t maxFileBytes = 16u << 20;
    // Longer sounds are refused before they are converted (30 s is 10 MB in the stream format).
    double maxSeconds = 30.0;
};

// Decodes a WAV file held in memory and converts it to interleaved stereo float at 44100 Hz.
// Leniently, as players do: a data chunk cut short or with a last partial frame, and a wrong RIFF
// size, give the frames that are there. Null (with the reason in `error` when given) for anything
// that cannot be decoded within the limits: no data, 0 channels, 0 Hz, 0 bits, an unknown
// encoding, RIFX or RF64...
std::shared_ptr<const Sample> DecodeWav(const void *bytes, std::size_t size, const LoadLimits &limits = {},
                                        std::string *error = nullptr);

// Reads a file and decodes it. Null as above, and for a missing or unreadable file, a folder or
// anything else that is not a regular file (never waiting on a FIFO), and a file larger than the
// limit.
std::shared_ptr<const Sample> LoadWavFile(const std::string &path, const LoadLimits &limits = {},
                                          std::string *error = nullptr);

} // namespace sound
