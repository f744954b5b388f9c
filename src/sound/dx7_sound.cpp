#include "sound/dx7_sound.h"

#include <cstdlib>

namespace sound {

DX7Sound::DX7Sound(std::unique_ptr<AudioHost> host)
    : player_(kSlotCount), slots_(cache_, keeper_, player_),
      device_(&player_, kProgramBlockFrames, std::move(host))
{
}

DX7Sound::~DX7Sound() = default;

bool DX7Sound::OpenDevice()
{
    return device_.Open();
}

void DX7Sound::InitDirectSound(const FailureBox &box)
{
    if (OpenDevice())
        return;
    if (box)
        box(kStartFailureText, kStartFailureCaption);
    std::exit(EXIT_FAILURE);
}

bool DX7Sound::PollDevice()
{
    const bool open = device_.Poll();
    slots_.Collect();
    return open;
}

DX7Sound &Output()
{
    static DX7Sound output;
    return output;
}

} // namespace sound
