// A silent Ableton Link peer that logs the session's beat time: the reference of the Link
// measurements (bench/link_sync.sh, the end-to-end test e2e.link_peer). Run it only inside a private network
// namespace. It uses Link as Ableton ships it (not the program's sync/ableton_link.h), as other
// programs on the network do.
//
// Usage: link_beats LOG
// Every 2 ms one line: HOST_US BEAT TEMPO PEERS PLAYING, where HOST_US is Link's clock
// (CLOCK_MONOTONIC_RAW, microseconds), BEAT the session's beat there (quantum 4: a bar at each multiple of 4) and
// PLAYING 1 while the peers that share start and stop play (this peer shares them, never starting itself). Reads lines
// "tempo BPM" from standard input (sets the session's tempo); ends at end of input or on SIGTERM.
#include <ableton/Link.hpp>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

namespace {
std::atomic<bool> quit{false};
void OnSignal(int)
{
    quit = true;
}
} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: link_beats LOG\n");
        return 1;
    }
    std::FILE *log = std::fopen(argv[1], "w");
    if (!log)
        return 1;
    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);
    ableton::Link link(120.0);
    link.enableStartStopSync(true);
    link.enable(true);
    std::thread input([&link] {
        for (std::string word; std::cin >> word;) {
            double bpm = 0;
            if (word == "tempo" && std::cin >> bpm) {
                auto state = link.captureAppSessionState();
                state.setTempo(bpm, link.clock().micros());
                link.commitAppSessionState(state);
            }
        }
        quit = true;
    });
    input.detach();
    while (!quit) {
        const auto now = link.clock().micros();
        const auto state = link.captureAppSessionState();
        std::fprintf(log, "%lld %.9f %.6f %zu %d\n", (long long)now.count(), state.beatAtTime(now, 4.0), state.tempo(),
                     link.numPeers(), state.isPlaying() ? 1 : 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::fclose(log);
    link.enable(false);
    std::_Exit(0);
}
