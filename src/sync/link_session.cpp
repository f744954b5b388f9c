#include "sync/link_session.h"

#include "sync/ableton_link.h"
#include <algorithm>

#include "sync/audio_session.h"

namespace linksync {

struct LinkSession::Impl {
    explicit Impl(double bpm) : link(bpm), audio(link) {}
    ableton::Link link;
    AudioSession<ableton::Link> audio;
};

LinkSession::LinkSession(double bpm, Notifiers notify)
    : impl_(std::make_unique<Impl>(std::clamp(bpm, kMinBpm, kMaxBpm)))
{
    ableton::Link &link = impl_->link;
    // On Link's threads: an atomic and the notifier, nothing else.
    link.setNumPeersCallback([this, f = notify.peers](std::size_t n) {
        peers_.store(int(n), std::memory_order_relaxed); // relaxed: see Peers
        if (f)
            f();
    });
    link.setTempoCallback([this, f = notify.tempo](double tempo) {
        impl_->audio.Noticed(tempo);
        if (f)
            f(tempo);
    });
    link.setStartStopCallback([f = notify.playing](bool playing) {
        if (f)
            f(playing);
    });
    link.enable(true);
}

LinkSession::~LinkSession()
{
    ableton::Link &link = impl_->link;
    link.enable(false);
    link.setNumPeersCallback([](std::size_t) {});
    link.setTempoCallback([](double) {});
    link.setStartStopCallback([](bool) {});
    impl_.reset(); // joins Link's threads
}

void LinkSession::SetTempo(double bpm)
{
    ableton::Link &link = impl_->link;
    auto state = link.captureAppSessionState();
    impl_->audio.AlignIn(state); // first the beat the tempo goes on from
    state.setTempo(std::clamp(bpm, kMinBpm, kMaxBpm), link.clock().micros());
    link.commitAppSessionState(state);
}

double LinkSession::Tempo() const
{
    return impl_->link.captureAppSessionState().tempo();
}

void LinkSession::SetStartStopShared(bool shared)
{
    impl_->link.enableStartStopSync(shared);
    impl_->audio.SetStartStopShared(shared);
}

void LinkSession::Stopped()
{
    if (!impl_->link.isStartStopSyncEnabled())
        return;
    ableton::Link &link = impl_->link;
    auto state = link.captureAppSessionState();
    state.setIsPlaying(false, link.clock().micros());
    link.commitAppSessionState(state);
}

void LinkSession::Align()
{
    if (!impl_->audio.AlignmentWaiting())
        return;
    ableton::Link &link = impl_->link;
    auto state = link.captureAppSessionState();
    if (impl_->audio.AlignIn(state))
        link.commitAppSessionState(state);
}

engine::SharedSession &LinkSession::audio()
{
    return impl_->audio;
}

} // namespace linksync
