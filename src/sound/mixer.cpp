#include "sound/mixer.h"

#include <algorithm>
#include <cmath>

namespace sound {

namespace {

float SaneGain(float g)
{
    // A NaN or negative gain would poison the whole mix; nothing legitimate is louder than 8.
    return g >= 0.0f ? std::min(g, 8.0f) : 0.0f;
}

} // namespace

Mixer::Mixer(int slotCount) : channels_(static_cast<std::size_t>(std::max(slotCount, 0))), kept_(kBlocksKept)
{
    for (Kept &k : kept_)
        k.channels.resize(channels_.size());
}

Mixer::~Mixer()
{
    Clear();
}

void Mixer::Count(const Kept &kept)
{
    // Relaxed: each sample counted here is counted by a voice or event of the mixer already, so
    // nobody frees it meanwhile (see Schedule).
    for (const Channel &c : kept.channels)
        for (const Voice *v : {&c.current, &c.tail})
            if (v->sample)
                v->sample->mixerRefs.fetch_add(1, std::memory_order_relaxed);
    for (int i = 0; i < kept.eventCount; ++i)
        if (kept.events[std::size_t(i)].sample)
            kept.events[std::size_t(i)].sample->mixerRefs.fetch_add(1, std::memory_order_relaxed);
}

void Mixer::ReleaseAll(std::vector<Channel> &channels, const std::array<Event, kMaxScheduled> &events, int &eventCount)
{
    for (Channel &c : channels) {
        Release(c.current);
        Release(c.tail);
    }
    for (int i = 0; i < eventCount; ++i) {
        Voice pending;
        pending.sample = events[std::size_t(i)].sample;
        Release(pending);
    }
    eventCount = 0;
}

void Mixer::Forget(Kept &kept)
{
    ReleaseAll(kept.channels, kept.events, kept.eventCount);
    kept.frame = kNoStart;
}

void Mixer::Keep()
{
    Kept &k = kept_[std::size_t(keptCount_++ % kBlocksKept)];
    Forget(k);
    k.frame = framesRendered_;
    std::copy(channels_.begin(), channels_.end(), k.channels.begin());
    k.events = events_;
    k.eventCount = eventCount_;
    k.masterGain = masterGain_;
    k.masterTarget = masterTarget_;
    k.masterStep = masterStep_;
    k.masterRampLeft = masterRampLeft_;
    k.limiter = limiter_;
    Count(k);
}

std::uint64_t Mixer::RenderAgainWithout(std::uint64_t start, float *out, std::int64_t capacity)
{
    Kept *from = nullptr;
    for (Kept &k : kept_)
        if (k.frame != kNoStart && k.frame <= start && (!from || k.frame > from->frame))
            from = &k;
    const std::uint64_t end = framesRendered_;
    if (!from || std::int64_t(end - from->frame) > capacity)
        return kNoStart;
    // The volume as it is now (a change since that block goes on from here).
    const float gain = masterGain_, target = masterTarget_, step = masterStep_;
    const int rampLeft = masterRampLeft_;
    ReleaseAll(channels_, events_, eventCount_);
    const std::uint64_t first = from->frame;
    std::copy(from->channels.begin(), from->channels.end(), channels_.begin());
    events_ = from->events;
    eventCount_ = from->eventCount;
    masterGain_ = from->masterGain;
    masterTarget_ = from->masterTarget;
    masterStep_ = from->masterStep;
    masterRampLeft_ = from->masterRampLeft;
    limiter_ = from->limiter;
    Count(*from);
    // Nothing begins from `start` on.
    int kept = 0;
    for (int i = 0; i < eventCount_; ++i) {
        Event &e = events_[std::size_t(i)];
        if (e.kind == EventKind::Start && first + std::uint64_t(e.offset) >= start) {
            Voice pending;
            pending.sample = e.sample;
            Release(pending);
        } else {
            events_[std::size_t(kept++)] = e;
        }
    }
    eventCount_ = kept;
    // What was kept of later blocks belongs to what is rendered again now.
    for (Kept &k : kept_)
        if (k.frame != kNoStart && k.frame > first)
            Forget(k);
    framesRendered_ = first;
    while (framesRendered_ < end) {
        const int n = int(std::min<std::uint64_t>(end - framesRendered_, 4096));
        Render(out + 2 * (framesRendered_ - first), n);
    }
    masterGain_ = gain;
    masterTarget_ = target;
    masterStep_ = step;
    masterRampLeft_ = rampLeft;
    return first;
}

bool Mixer::StartVoice(int slot, const Sample *sample, float gainLeft, float gainRight, int frameOffset)
{
    if (!sample)
        return false;
    return Schedule({EventKind::Start, slot, sample, SaneGain(gainLeft), SaneGain(gainRight), frameOffset});
}

bool Mixer::StopVoice(int slot, int frameOffset)
{
    return Schedule({EventKind::Stop, slot, nullptr, 0.0f, 0.0f, frameOffset});
}

bool Mixer::StopAll(int frameOffset)
{
    return Schedule({EventKind::StopAll, 0, nullptr, 0.0f, 0.0f, frameOffset});
}

bool Mixer::Schedule(const Event &event)
{
    if (event.kind != EventKind::StopAll && (event.slot < 0 || event.slot >= slotCount()))
        return false;
    if (eventCount_ == kMaxScheduled)
        return false;
    Event e = event;
    e.offset = std::max<std::int64_t>({e.offset, 0, std::int64_t(deferredUntil_) - std::int64_t(framesRendered_)});
    if (e.sample) {
        // Relaxed: whoever frees the sample reads this count only after an acquire that follows
        // the release by which this thread acknowledged the command or snapshot naming it.
        e.sample->mixerRefs.fetch_add(1, std::memory_order_relaxed);
    }
    int at = eventCount_;
    while (at > 0 && events_[at - 1].offset > e.offset) {
        events_[at] = events_[at - 1];
        --at;
    }
    events_[at] = e;
    ++eventCount_;
    return true;
}

void Mixer::Release(Voice &voice)
{
    if (voice.sample) {
        // Release: every read of the sample's data above happens before the UI thread, having
        // seen the count drop (acquire), frees it.
        voice.sample->mixerRefs.fetch_sub(1, std::memory_order_release);
    }
    voice = Voice{};
}

std::uint64_t Mixer::FirstStartFrom(std::uint64_t frame) const
{
    std::uint64_t first = kNoStart;
    const auto kept = std::min<std::uint64_t>(startCount_, kStartsKept);
    for (std::uint64_t i = 0; i < kept; ++i)
        if (starts_[i] >= frame)
            first = std::min(first, starts_[i]);
    return first;
}

void Mixer::Clear()
{
    ReleaseAll(channels_, events_, eventCount_);
    for (Kept &k : kept_)
        Forget(k);
    limiter_.Reset();
    masterGain_ = masterTarget_;
    masterRampLeft_ = 0;
}

void Mixer::Cut(Channel &channel)
{
    if (!channel.current.sample)
        return;
    // A tail still fading from an earlier cut is near silence already; it ends here.
    Release(channel.tail);
    channel.tail = channel.current;
    channel.tail.fade = kCutFadeFrames;
    channel.current = Voice{};
}

void Mixer::Apply(const Event &e)
{
    switch (e.kind) {
    case EventKind::Start: {
        Channel &c = channels_[static_cast<std::size_t>(e.slot)];
        Cut(c);
        c.current.sample = e.sample; // the event's count on the sample passes to the voice
        c.current.position = 0;
        c.current.gainLeft = e.gainLeft;
        c.current.gainRight = e.gainRight;
        break;
    }
    case EventKind::Stop: Cut(channels_[static_cast<std::size_t>(e.slot)]); break;
    case EventKind::StopAll:
        for (Channel &c : channels_)
            Cut(c);
        break;
    }
}

void Mixer::MixSegment(float *out, int from, int to)
{
    if (to <= from)
        return;
    for (Channel &c : channels_) {
        if (Voice &v = c.current; v.sample) {
            const std::int64_t n = std::min<std::int64_t>(to - from, v.sample->frames() - v.position);
            const float *src = v.sample->data.data() + 2 * v.position;
            float *dst = out + 2 * from;
            const float gl = v.gainLeft, gr = v.gainRight;
            for (std::int64_t i = 0; i < n; ++i) {
                dst[2 * i] += src[2 * i] * gl;
                dst[2 * i + 1] += src[2 * i + 1] * gr;
            }
            v.position += n;
            if (v.position >= v.sample->frames())
                Release(v);
        }
        if (Voice &v = c.tail; v.sample) {
            const std::int64_t n =
                std::min<std::int64_t>({to - from, v.sample->frames() - v.position, std::int64_t{v.fade}});
            const float *src = v.sample->data.data() + 2 * v.position;
            float *dst = out + 2 * from;
            constexpr float step = 1.0f / kCutFadeFrames;
            for (std::int64_t i = 0; i < n; ++i) {
                const float ramp = static_cast<float>(v.fade - i) * step;
                dst[2 * i] += src[2 * i] * v.gainLeft * ramp;
                dst[2 * i + 1] += src[2 * i + 1] * v.gainRight * ramp;
            }
            v.position += n;
            v.fade -= static_cast<int>(n);
            if (v.fade <= 0 || v.position >= v.sample->frames())
                Release(v);
        }
    }
}

void Mixer::DeferStarts(std::int64_t frames)
{
    deferredUntil_ = framesRendered_ + std::uint64_t(std::max<std::int64_t>(frames, 0));
    // The events stay in order: those raised all land on the same frame, before the later ones.
    for (int i = 0; i < eventCount_; ++i)
        events_[std::size_t(i)].offset = std::max(events_[std::size_t(i)].offset, std::int64_t(frames));
}

int Mixer::CancelStarts(int slot, std::int64_t frameOffset)
{
    int kept = 0;
    for (int i = 0; i < eventCount_; ++i) {
        if (events_[i].kind == EventKind::Start && events_[i].slot == slot && events_[i].offset == frameOffset) {
            Voice pending;
            pending.sample = events_[i].sample;
            Release(pending);
            continue;
        }
        events_[kept++] = events_[i];
    }
    const int cancelled = eventCount_ - kept;
    eventCount_ = kept;
    return cancelled;
}

void Mixer::SetMasterGain(float gain)
{
    gain = SaneGain(gain);
    if (gain == masterTarget_)
        return;
    masterTarget_ = gain;
    masterRampLeft_ = kGainRampFrames;
    masterStep_ = (gain - masterGain_) / float(kGainRampFrames);
}

void Mixer::ApplyMasterGain(float *out, int frames)
{
    int i = 0;
    for (; i < frames && masterRampLeft_ > 0; ++i) {
        // The last step lands exactly on the target.
        masterGain_ = --masterRampLeft_ == 0 ? masterTarget_ : masterGain_ + masterStep_;
        out[2 * i] *= masterGain_;
        out[2 * i + 1] *= masterGain_;
    }
    if (masterGain_ == 1.0f)
        return; // the slots' own level: nothing to scale
    for (; i < frames; ++i) {
        out[2 * i] *= masterGain_;
        out[2 * i + 1] *= masterGain_;
    }
}

void Mixer::Render(float *out, int frames)
{
    if (frames <= 0)
        return;
    Keep();
    std::fill(out, out + 2 * static_cast<std::size_t>(frames), 0.0f);

    int position = 0;
    int applied = 0;
    while (true) {
        int next = frames;
        if (applied < eventCount_ && events_[applied].offset < frames)
            next = std::max(position, static_cast<int>(events_[applied].offset));
        MixSegment(out, position, next);
        position = next;
        if (position >= frames)
            break;
        while (applied < eventCount_ && events_[applied].offset <= position) {
            if (events_[applied].kind == EventKind::Start)
                starts_[startCount_++ % kStartsKept] = framesRendered_ + std::uint64_t(position);
            Apply(events_[applied++]);
        }
    }
    // Events for later blocks move up and come closer by this block's length.
    for (int i = applied; i < eventCount_; ++i) {
        events_[i - applied] = events_[i];
        events_[i - applied].offset -= frames;
    }
    eventCount_ -= applied;

    ApplyMasterGain(out, frames);
    limiter_.Process(out, frames);
    framesRendered_ += static_cast<std::uint64_t>(frames);
}

bool Mixer::IsPlaying(int slot) const
{
    return slot >= 0 && slot < slotCount() && channels_[static_cast<std::size_t>(slot)].current.sample != nullptr;
}

} // namespace sound
