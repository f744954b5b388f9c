#pragma once
// Stand-ins for SDL's audio functions.
#include <SDL.h>

#include <string>
#include <vector>

#include "sound/audio_device.h"

namespace testsupport {

// A host whose device can be made to fail or vanish, counting the starts and stops of SDL's audio.
struct FakeHost : sound::AudioHost {
    bool Init(std::string &error) override
    {
        inits += initWorks, error = initWorks ? "" : "no sound server"; // successful starts counted
        return initWorks;
    }
    std::uint32_t Open(const SDL_AudioSpec &wanted, SDL_AudioSpec &have, std::string &error) override
    {
        want = have = wanted, lost = false;
        error = openWorks ? "" : "no device";
        return openWorks ? 7 : 0;
    }
    void Quit() override { ++quits; }
    void Resume(std::uint32_t) override {}
    bool Lost(std::uint32_t) override { return lost; }
    void Close(std::uint32_t) override {}
    bool initWorks = true, openWorks = true, lost = false;
    int inits = 0, quits = 0;
    SDL_AudioSpec want{};
};

// FakeHost whose open device plays only when the test asks for blocks, on the test's thread (SDL's own
// thread: SdlRestWithSdl); it keeps everything the device played, in one recording over all openings.
struct PlayingHost : FakeHost {
    std::uint32_t Open(const SDL_AudioSpec &wanted, SDL_AudioSpec &have, std::string &error) override
    {
        open = FakeHost::Open(wanted, have, error) != 0, resumed = false, openedAt = recording.size() / 2;
        if (blockFrames)
            have.samples = want.samples = blockFrames;
        return open ? 7 : 0;
    }
    void Resume(std::uint32_t) override { resumed = true; }
    void Pause(std::uint32_t) override { resumed = false; }
    void Close(std::uint32_t) override { open = false; }

    // Has the device play `blocks` blocks; false when it is closed or paused.
    bool Play(int blocks)
    {
        std::vector<float> block(2 * std::size_t(want.samples));
        for (; blocks > 0 && open && resumed; --blocks) {
            want.callback(want.userdata, reinterpret_cast<Uint8 *>(block.data()), int(block.size() * sizeof(float)));
            recording.insert(recording.end(), block.begin(), block.end());
        }
        return blocks == 0;
    }
    // The first frame after `from` that is not silent, counted from the first opening (-1: none).
    std::int64_t FirstSound(std::size_t from) const
    {
        for (std::size_t f = from; f < recording.size() / 2; ++f)
            if (recording[2 * f] != 0.0f)
                return std::int64_t(f);
        return -1;
    }

    Uint16 blockFrames = 0; // the block the device takes (0: the one asked for)
    bool open = false, resumed = false;
    std::size_t openedAt = 0;     // the recording's frame where the last opening began
    std::vector<float> recording; // interleaved stereo, every block of every opening
};

} // namespace testsupport
