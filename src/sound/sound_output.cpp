#include "sound/sound_output.h"

#include <SDL.h>

#include <algorithm>

#include <cstdio>
#include <cstdlib>

namespace sound {

SoundOutput::SoundOutput(std::unique_ptr<AudioHost> sdlHost)
    : player_(kSlotCount), slots_(cache_, keeper_, player_), feed_(&player_),
      sdl_(&feed_, kProgramBlockFrames, std::move(sdlHost)), pulse_(feed_), pipewire_(feed_),
      silent_(feed_, kProgramBlockFrames)
{
    const char *chosen = std::getenv(kOutputVariable);
    const std::string output = chosen ? chosen : "";
    if (output == "pipewire" || output == "pulse" || output == "sdl") {
        usePipeWire_ = output == "pipewire";
        usePulse_ = output == "pulse";
        useSdl_ = output == "sdl";
    } else {
        if (!output.empty())
            std::fprintf(stderr, "metronom: %s=%s is none of pipewire, pulse, sdl: ignored\n", kOutputVariable,
                         output.c_str());
        // SDL's driver chosen (tests: dummy, disk): SDL only.
        usePipeWire_ = usePulse_ = !std::getenv("SDL_AUDIODRIVER");
    }
    pulse_.SetLossNotifier(&SoundOutput::Lost, this); // once, before any stream
    pipewire_.SetLossNotifier(&SoundOutput::Lost, this);
}

SoundOutput::~SoundOutput()
{
    Close();
}

const char *SoundOutput::kind() const
{
    switch (kind_) {
    case Kind::PipeWire: return "PipeWire";
    case Kind::Pulse: return "PulseAudio";
    case Kind::Sdl: return "SDL";
    case Kind::Silent: return "silent";
    case Kind::None: break;
    }
    return "";
}

void SoundOutput::Lost(void *self)
{
    static_cast<SoundOutput *>(self)->Wake();
}

void SoundOutput::Wake()
{
    // Called by a stream that is lost (it renders no block any more) or by the connecting thread.
    std::lock_guard lock(handover_);
    if (notify_)
        notify_();
}

void SoundOutput::SetSource(AudioSource *source)
{
    std::lock_guard lock(handover_); // the connecting thread may be restarting the feed
    feed_.SetSource(source ? source : &player_);
}

void SoundOutput::StartConnecting(bool sdlToo, bool once)
{
    cancel_.store(false, std::memory_order_relaxed);
    outcome_.store(Outcome::Pending, std::memory_order_relaxed); // relaxed: the thread starts after this
    {
        std::lock_guard lock(handover_);
        takenOver_ = false;
    }
    connectSince_ = std::chrono::steady_clock::now();
    playingNow_.store(playing_, std::memory_order_relaxed);
    connector_ = std::thread(&SoundOutput::Connect, this, sdlToo, once);
}

void SoundOutput::Connect(bool sdlToo, bool once)
{
    // SDL keeps per-thread data (its error text) for a thread that opened a device; freed when
    // this thread ends, however it returns.
    struct ThreadData {
        ~ThreadData() { SDL_TLSCleanup(); }
    } threadData;
    const std::chrono::milliseconds retry = retryInterval_;
    for (bool first = true; !cancel_.load(std::memory_order_relaxed); first = false) {
        // Between two tries, looking at cancel_ every 10 ms.
        for (auto waited = std::chrono::milliseconds(0); !first && waited < retry;
             waited += std::chrono::milliseconds(10)) {
            if (cancel_.load(std::memory_order_relaxed))
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        if (cancel_.load(std::memory_order_relaxed))
            break;
        std::string pipewireError;
        if (usePipeWire_) {
            const PipeWireOutput::Step step = pipewire_.Connect(error_, cancel_);
            if (step == PipeWireOutput::Step::Ready) {
                noDevice_.store(false, std::memory_order_relaxed);
                TakeOver();
                if (pipewire_.StartStream(playingNow_.load(std::memory_order_relaxed), error_, cancel_))
                    return Finish(Outcome::PipeWire);
                continue;
            }
            // A daemon that answers slowly plays the sound: wait for it rather than for another output.
            const bool refused = step == PipeWireOutput::Step::Refused;
            if (!refused || (!usePulse_ && !useSdl_)) {
                if (once || (refused && sdlToo))
                    break; // refused at the start, and nothing else allowed: the box
                continue;
            }
            pipewireError = error_ + "; ";
        }
        if (usePulse_) {
            const PulseOutput::Step step = pulse_.Connect(error_, cancel_);
            if (step == PulseOutput::Step::Ready) {
                // A server without a device would refuse the stream: the silent stream goes on
                // meanwhile (it is not stopped for a stream that does not come) until one is there.
                const bool device = pulse_.HasDevice(cancel_);
                noDevice_.store(!device, std::memory_order_relaxed);
                if (!device) {
                    error_ = pipewireError + "PulseAudio: no output device";
                    pulse_.Close();
                    if (once)
                        break;
                    continue;
                }
                TakeOver();
                if (pulse_.StartStream(playingNow_.load(std::memory_order_relaxed), error_, cancel_))
                    return Finish(Outcome::Pulse);
                continue;
            }
            noDevice_.store(false, std::memory_order_relaxed); // no server answers, as far as is known
            error_ = pipewireError + error_;
            if (step != PulseOutput::Step::Refused || !sdlToo) {
                if (once)
                    break;
                continue; // a slow server, or one gone away: wait for it rather than for another output
            }
        }
        if (!useSdl_)
            break; // refused at the start, and SDL not allowed: the box
        const std::string pulseError = usePulse_ ? error_ + "; " : pipewireError;
        TakeOver();
        sdl_.Pause(true);                      // until the UI thread takes it over
        feed_.SetLatency(kProgramBlockFrames); // before the first callback; then two blocks are held
        if (sdl_.Open()) {
            feed_.SetLatency(sdl_.blockFrames());
            return Finish(Outcome::Sdl);
        }
        error_ = pulseError + "SDL: " + sdl_.error();
        break;
    }
    Finish(Outcome::Refused);
}

void SoundOutput::TakeOver()
{
    std::lock_guard lock(handover_);
    takenOver_ = true;
    silent_.Stop();
    feed_.Restart(); // no stream renders: the source forgets what was meant for the old one
}

void SoundOutput::Finish(Outcome outcome)
{
    outcome_.store(outcome, std::memory_order_release); // release: what the thread did comes first
    Wake();
}

void SoundOutput::StopConnecting()
{
    if (!connector_.joinable())
        return;
    cancel_.store(true, std::memory_order_relaxed);
    connector_.join();
}

bool SoundOutput::Adopt()
{
    if (!connector_.joinable())
        return true;
    const Outcome outcome = outcome_.load(std::memory_order_acquire); // acquire: pairs with Finish
    if (outcome == Outcome::Pending)
        return false;
    connector_.join();
    switch (outcome) {
    case Outcome::PipeWire:
        kind_ = Kind::PipeWire;
        everOpen_ = true;
        pipewire_.Play(playing_);
        break;
    case Outcome::Pulse:
        kind_ = Kind::Pulse;
        everOpen_ = true;
        pulse_.Play(playing_);
        break;
    case Outcome::Sdl:
        kind_ = Kind::Sdl;
        everOpen_ = true;
        sdl_.Pause(!playing_);
        break;
    case Outcome::Refused:
    case Outcome::Pending:
        if (everOpen_) {
            // Already running (silent, or the server went away): on silently, trying again.
            const bool wasSilent = kind_ == Kind::Silent;
            kind_ = Kind::None;
            StartConnecting(false, false);
            if (wasSilent)
                StartSilent();
            break;
        }
        kind_ = Kind::None;
        wanted_ = false;
        if (box_)
            ShowFailure();
        break;
    }
    return true;
}

void SoundOutput::StartSilent()
{
    std::lock_guard lock(handover_);
    if (takenOver_ || silent_.running())
        return;
    feed_.Restart(); // a new audio thread
    silent_.Start();
    kind_ = Kind::Silent;
    everOpen_ = true;
}

bool SoundOutput::OpenDevice()
{
    if (IsOpen())
        return true;
    if (!connector_.joinable())
        StartConnecting(true, true);
    wanted_ = true;
    while (!Adopt())
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return IsOpen();
}

void SoundOutput::ShowFailure()
{
    // The box keeps its old words; the reason goes to the error output.
    std::fprintf(stderr, "metronom: no sound output: %s\n", error_.c_str());
    std::fflush(stderr);
    if (box_)
        box_(kStartFailureText, kStartFailureCaption);
    std::exit(EXIT_FAILURE);
}

void SoundOutput::InitDirectSound(const FailureBox &box)
{
    box_ = box;
    if (!usePulse_ && !usePipeWire_) {
        // SDL's driver chosen (tests: dummy, disk): nothing to wait for.
        if (OpenDevice())
            return;
        ShowFailure();
    }
    wanted_ = true;
    StartConnecting(true, false);
}

void SoundOutput::Close()
{
    StopConnecting();
    silent_.Stop();
    pipewire_.Close();
    pulse_.Close();
    sdl_.Close();
    kind_ = Kind::None;
    wanted_ = false;
}

void SoundOutput::Play(bool playing)
{
    if (playing != playing_)
        feed_.DropUnheard(); // what a lost stream left belongs to the run before
    if (!playing && playing_ && kind_ == Kind::Pulse)
        pulse_.TakeBack(feed_.HeardFrame()); // nothing begun after the frame heard now is heard
    playing_ = playing;
    playingNow_.store(playing, std::memory_order_relaxed);
    if (kind_ == Kind::PipeWire)
        pipewire_.Play(playing); // what it holds is at most a cycle or two: nothing to take back
    else if (kind_ == Kind::Pulse)
        pulse_.Play(playing);
    else if (kind_ == Kind::Sdl && playing)
        sdl_.Pause(false);
}

bool SoundOutput::Poll()
{
    // A stream the server dropped (or a server gone): closed, and a new one sought.
    const auto dropLost = [this](auto &stream) {
        stream.Close();
        feed_.Lost(stream.lostAtNs()); // the next stream plays first what this one did not
        kind_ = Kind::None;
        ++losses_;
        if (wanted_ && !connector_.joinable())
            StartConnecting(false, false); // at once: a restarted server is often back at once
    };
    if (kind_ == Kind::Pulse && pulse_.lost())
        dropLost(pulse_);
    if (kind_ == Kind::PipeWire && pipewire_.lost())
        dropLost(pipewire_);
    if (kind_ == Kind::PipeWire && !rtSaid_ && pipewire_.realTimeRefused()) {
        rtSaid_ = true; // said once, here: the data thread prints nothing
        std::fprintf(stderr, "metronom: PipeWire gave the sound no real-time scheduling (RTKit?); "
                             "beats may come late on a busy machine\n");
    }
    if (kind_ == Kind::Sdl) {
        sdl_.Poll(); // reopens a lost device itself
        // Resting: closed once it has played silence for sdlRestAfter_ (and at least two blocks: the
        // last sound played out), at once when it has not played since it was opened.
        const auto restFrames =
            std::max(2 * std::uint64_t(sdl_.blockFrames()), std::uint64_t(sdlRestAfter_.count()) * kStreamRate / 1000);
        if (!playing_ && !sdl_.resting() && (!sdl_.played() || feed_.silentFrames() >= restFrames))
            sdl_.Rest();
    }
    Adopt();
    const bool suspended = kind_ == Kind::Pulse ? pulse_.suspended() : kind_ == Kind::PipeWire && pipewire_.suspended();
    if (!playing_ || !suspended)
        suspendedSince_.reset();
    else if (!suspendedSince_)
        suspendedSince_ = std::chrono::steady_clock::now();
    if (connector_.joinable() && kind_ != Kind::Silent &&
        std::chrono::steady_clock::now() - connectSince_ >= kSilentAfter)
        StartSilent(); // no server has answered in time: on without sound, still connecting

    slots_.Collect();
    return IsOpen();
}

const char *SoundOutput::note() const
{
    if (kind_ == Kind::Silent)
        return noDevice_.load(std::memory_order_relaxed) ? kNoDeviceNote : kSilentNote;
    if (suspendedSince_ && std::chrono::steady_clock::now() - *suspendedSince_ >= kSuspendedNoteAfter)
        return kSuspendedNote;
    return "";
}

const char *SoundOutput::briefNote() const
{
    const char *n = note();
    return n == kSilentNote      ? kSilentBrief
           : n == kNoDeviceNote  ? kNoDeviceBrief
           : n == kSuspendedNote ? kSuspendedBrief
                                 : "";
}

bool SoundOutput::NeedsPoll() const
{
    if (!wanted_)
        return false;
    if (kind_ == Kind::Pulse && playing_ && pulse_.suspended())
        return true; // said once it lasts, or over
    if (kind_ == Kind::PipeWire && (playing_ || pipewire_.realTimeRefused() != rtSaid_))
        return true; // a cycle missing is seen only when asked
    if (kind_ == Kind::Sdl || connector_.joinable())
        return true; // SDL reports a lost device only when asked, and rests only when asked
    return kind_ == Kind::None || kind_ == Kind::Silent || pulse_.lost() || pipewire_.lost();
}

std::chrono::milliseconds SoundOutput::PollInterval() const
{
    return std::chrono::milliseconds(connector_.joinable() && kind_ != Kind::Silent ? 250 : 1000);
}

void SoundOutput::SetLossNotifier(std::function<void()> notify)
{
    std::lock_guard lock(handover_);
    notify_ = std::move(notify);
}

void SoundOutput::setRetryInterval(std::chrono::milliseconds interval)
{
    retryInterval_ = interval;
    sdl_.setRetryInterval(interval);
}

} // namespace sound
