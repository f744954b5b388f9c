#include "sound/sound_output.h"

#include <cstdio>
#include <cstdlib>

namespace sound {

SoundOutput::SoundOutput(std::unique_ptr<AudioHost> sdlHost)
    : usePulse_(!std::getenv("SDL_AUDIODRIVER")), player_(kSlotCount), slots_(cache_, keeper_, player_),
      feed_(&player_), sdl_(&feed_, kProgramBlockFrames, std::move(sdlHost)), pulse_(feed_)
{
    pulse_.SetLossNotifier(&SoundOutput::Lost, this);
}

SoundOutput::~SoundOutput()
{
    Close();
}

const char *SoundOutput::kind() const
{
    return kind_ == Kind::Pulse ? "PulseAudio" : kind_ == Kind::Sdl ? "SDL" : "";
}

void SoundOutput::Lost(void *self)
{
    if (const auto &notify = static_cast<SoundOutput *>(self)->notify_)
        notify();
}

bool SoundOutput::TryOpen()
{
    lastTry_ = std::chrono::steady_clock::now();
    feed_.Restart(); // no stream renders: the source forgets what was meant for the old one
    if (usePulse_) {
        if (pulse_.Open(playing_, error_)) {
            kind_ = Kind::Pulse;
            return true;
        }
        if (losses_ > 0)
            return false; // the server went away: wait for it rather than for another output
    }
    const std::string pulseError = usePulse_ ? error_ + "; " : std::string();
    sdl_.Pause(!playing_);
    feed_.SetLatency(kProgramBlockFrames); // before the first callback; then two blocks are held
    if (!sdl_.Open()) {
        error_ = pulseError + "SDL: " + sdl_.error();
        return false;
    }
    feed_.SetLatency(sdl_.blockFrames());
    kind_ = Kind::Sdl;
    return true;
}

bool SoundOutput::OpenDevice()
{
    if (IsOpen())
        return true;
    wanted_ = TryOpen();
    return wanted_;
}

void SoundOutput::InitDirectSound(const FailureBox &box)
{
    if (OpenDevice())
        return;
    // The box keeps its old words; the reason goes to the error output.
    std::fprintf(stderr, "metronom: no sound output: %s\n", error_.c_str());
    std::fflush(stderr);
    if (box)
        box(kStartFailureText, kStartFailureCaption);
    std::exit(EXIT_FAILURE);
}

void SoundOutput::Close()
{
    pulse_.Close();
    sdl_.Close();
    kind_ = Kind::None;
    wanted_ = false;
}

void SoundOutput::Play(bool playing)
{
    playing_ = playing;
    if (kind_ == Kind::Pulse)
        pulse_.Play(playing);
    else if (kind_ == Kind::Sdl && playing)
        sdl_.Pause(false);
}

bool SoundOutput::Poll()
{
    bool tryNow = false;
    if (kind_ == Kind::Pulse && pulse_.lost()) {
        pulse_.Close();
        kind_ = Kind::None;
        ++losses_;
        tryNow = true; // a restarted server is often back at once
    }
    if (kind_ == Kind::Sdl) {
        sdl_.Poll(); // reopens a lost device itself
        // Resting: pause once two blocks of silence have been rendered (the last sound played out).
        if (!playing_ && !sdl_.paused() && feed_.silentFrames() >= 2 * std::uint64_t(sdl_.blockFrames()))
            sdl_.Pause(true);
    }
    if (kind_ == Kind::None && wanted_ && (tryNow || std::chrono::steady_clock::now() - lastTry_ >= retryInterval_))
        TryOpen();
    slots_.Collect();
    return IsOpen();
}

bool SoundOutput::NeedsPoll() const
{
    if (!wanted_)
        return false;
    if (kind_ == Kind::Sdl)
        return true; // SDL reports a lost device only when asked, and pauses only when asked
    return kind_ == Kind::None || pulse_.lost();
}

void SoundOutput::SetLossNotifier(std::function<void()> notify)
{
    pulse_.SetLossNotifier(nullptr, nullptr); // under the audio thread's lock: Lost no longer runs
    notify_ = std::move(notify);
    pulse_.SetLossNotifier(&SoundOutput::Lost, this);
}

void SoundOutput::setRetryInterval(std::chrono::milliseconds interval)
{
    retryInterval_ = interval;
    sdl_.setRetryInterval(interval);
}

} // namespace sound
