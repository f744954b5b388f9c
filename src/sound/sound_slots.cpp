#include "sound/sound_slots.h"

#include <algorithm>

#include "sound/levels.h"

namespace sound {

namespace {

constexpr int kVoiceVolume = 85; // -9 dB
constexpr int kCentre = 50;
constexpr int kStartVolume = 80; // -12 dB

} // namespace

SoundSlots::SoundSlots(SampleCache &cache, SampleKeeper &keeper, SlotPlayer &player)
    : cache_(cache), keeper_(keeper), player_(player)
{
}

const SoundSlot *SoundSlots::slot(int i) const
{
    return Valid(i) ? &slots_[static_cast<std::size_t>(i)] : nullptr;
}

void SoundSlots::Collect()
{
    keeper_.Collect(player_.Acknowledged());
}

bool SoundSlots::Load(int i, const std::string &path)
{
    if (!Valid(i))
        return false;
    std::shared_ptr<const Sample> sample = cache_.Get(path);
    if (!sample)
        return false;
    SoundSlot &s = slots_[static_cast<std::size_t>(i)];
    s.Buffer = std::move(sample);
    s.Loaded = true;
    s.attenuation = 0;
    s.pan = 0;
    return true;
}

void SoundSlots::CreateBuffers(int last, const std::string &path)
{
    Collect();
    player_.Post({SlotCommand::Kind::StopAll});
    slots_.assign(static_cast<std::size_t>(std::clamp(last + 1, 0, kSlotCount)), SoundSlot{});
    for (int i = 0; i < size(); ++i) {
        Load(i, path);
        SetBufferVolume(i, kStartVolume);
    }
}

bool SoundSlots::LoadSound(int i, const std::string &path)
{
    Collect();
    if (!Load(i, path))
        return false;
    // The new sample replaces the old one, whose sound ends.
    player_.Post({SlotCommand::Kind::Stop, i});
    return true;
}

bool SoundSlots::PlayBuffer(int i, const std::string &path, int volume, int pan, int /*flags*/)
{
    Collect();
    if (!Valid(i))
        return false;
    Load(i, path);
    if (pan <= 100 && pan != kCentre)
        SetBufferPan(i, pan);
    if (volume < 100)
        SetBufferVolume(i, volume);
    const SoundSlot &s = slots_[static_cast<std::size_t>(i)];
    if (!s.Loaded)
        return false;
    const StereoGain gain = ChannelGains(s.attenuation, s.pan);
    SlotCommand play{SlotCommand::Kind::Play, i, s.Buffer.get(), static_cast<float>(gain.left),
                     static_cast<float>(gain.right)};
    const std::uint64_t sequence = player_.Post(play);
    if (sequence == 0)
        return false;
    keeper_.Hold(s.Buffer, sequence);
    return true;
}

bool SoundSlots::PlayVoice1(const std::string &path)
{
    return PlayBuffer(0, path, kVoiceVolume, kCentre, 0);
}

bool SoundSlots::PlayVoice2(const std::string &path)
{
    return PlayBuffer(1, path, kVoiceVolume, kCentre, 0);
}

bool SoundSlots::PlayVoice3(const std::string &path)
{
    return PlayBuffer(2, path, kVoiceVolume, kCentre, 0);
}

bool SoundSlots::SetBufferVolume(int i, int volume)
{
    // Above 100 the attenuation would be positive, which the slots (like any device) refuse.
    if (!Valid(i) || volume < 0 || volume > 100)
        return false;
    slots_[static_cast<std::size_t>(i)].attenuation = VolumeToAttenuation(volume);
    return true;
}

bool SoundSlots::SetBufferPan(int i, int pan)
{
    if (!Valid(i) || pan < 0 || pan > 100)
        return false;
    slots_[static_cast<std::size_t>(i)].pan = PanToHundredths(pan);
    return true;
}

} // namespace sound
