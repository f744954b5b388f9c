#include "sound/audio_device.h"

#include <algorithm>
#include <cstring>

#include "sound/sample.h"

namespace sound {

namespace {

class SdlAudioHost : public AudioHost {
public:
    bool Init(std::string &error) override
    {
        // The audio subsystem brings SDL's event subsystem along, which would otherwise catch
        // SIGINT and SIGTERM: the program must still end when the desktop or a user asks it to.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) == 0)
            return true;
        error = SDL_GetError();
        return false;
    }
    void Quit() override { SDL_QuitSubSystem(SDL_INIT_AUDIO); }
    std::uint32_t Open(const SDL_AudioSpec &want, SDL_AudioSpec &have, std::string &error) override
    {
        // No changes allowed: SDL converts to whatever the hardware wants behind the callback.
        const SDL_AudioDeviceID id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (id == 0)
            error = SDL_GetError();
        return id;
    }
    void Resume(std::uint32_t device) override { SDL_PauseAudioDevice(device, 0); }
    void Pause(std::uint32_t device) override { SDL_PauseAudioDevice(device, 1); }
    bool Lost(std::uint32_t device) override { return SDL_GetAudioDeviceStatus(device) == SDL_AUDIO_STOPPED; }
    void Close(std::uint32_t device) override { SDL_CloseAudioDevice(device); }
    bool ClosesAtRest() override
    {
        const char *driver = SDL_GetCurrentAudioDriver();
        return !driver || std::strcmp(driver, "disk") != 0;
    }
};

} // namespace

std::unique_ptr<AudioHost> MakeSdlAudioHost()
{
    return std::make_unique<SdlAudioHost>();
}

AudioDevice::AudioDevice(AudioSource *source, int blockFrames, std::unique_ptr<AudioHost> host)
    : host_(host ? std::move(host) : MakeSdlAudioHost()), source_(source),
      blockFrames_(std::max(blockFrames, kDefaultBlockFrames))
{
}

AudioDevice::~AudioDevice()
{
    Close();
}

void SDLCALL AudioDevice::Callback(void *self, Uint8 *stream, int length)
{
    auto *device = static_cast<AudioDevice *>(self);
    AudioSource *source = device->source_;
    const int frames = length / static_cast<int>(sizeof(float) * kStreamChannels);
    if (source)
        source->Render(reinterpret_cast<float *>(stream), frames);
    else
        std::memset(stream, 0, static_cast<std::size_t>(length));
    // Relaxed: a statistic only.
    device->blocks_.fetch_add(1, std::memory_order_relaxed);
}

bool AudioDevice::TryOpen(bool forget)
{
    lastTry_ = std::chrono::steady_clock::now();
    error_.clear();
    if (!host_->Init(error_))
        return false;
    SDL_AudioSpec want{};
    want.freq = kStreamRate;
    want.format = AUDIO_F32SYS;
    want.channels = kStreamChannels;
    want.samples = static_cast<Uint16>(blockFrames_);
    want.callback = &AudioDevice::Callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    // No callback runs yet: the source may forget what was meant for an earlier stream, or, when
    // the device opens again after resting, go on where it stopped on the new audio thread.
    if (source_ && forget)
        source_->Restart();
    else if (source_)
        source_->Handover();
    device_ = host_->Open(want, have, error_);
    if (device_ == 0) {
        host_->Quit();
        return false;
    }
    obtainedFrames_ = have.samples ? have.samples : blockFrames_;
    played_ = !paused_;
    if (!paused_)
        host_->Resume(device_);
    return true;
}

void AudioDevice::Shut()
{
    if (device_ != 0) {
        host_->Close(device_);
        device_ = 0;
        host_->Quit();
    }
}

bool AudioDevice::Open()
{
    if (IsOpen())
        return true;
    wanted_ = TryOpen(true);
    return wanted_;
}

void AudioDevice::Close()
{
    Shut();
    wanted_ = false;
    resting_ = false;
}

void AudioDevice::Pause(bool paused)
{
    if (paused == paused_)
        return;
    paused_ = paused;
    if (resting_) {
        resting_ = false;
        if (!TryOpen(false))
            ++losses_; // the first try was this one: Poll tries again after the retry interval
        return;
    }
    if (device_ == 0)
        return;
    if (paused) {
        host_->Pause(device_);
    } else {
        host_->Resume(device_);
        played_ = true;
    }
}

void AudioDevice::Rest()
{
    Pause(true);
    if (device_ == 0 || !host_->ClosesAtRest())
        return;
    Shut();
    resting_ = true;
}

bool AudioDevice::Poll()
{
    // Right after a loss the first try comes at once: a restarted sound server is often back.
    bool tryNow = false;
    if (device_ != 0 && host_->Lost(device_)) {
        ++losses_;
        Shut();
        tryNow = true;
    }
    if (device_ == 0 && wanted_ && !resting_ &&
        (tryNow || std::chrono::steady_clock::now() - lastTry_ >= retryInterval_))
        TryOpen(true);
    return IsOpen();
}

} // namespace sound
