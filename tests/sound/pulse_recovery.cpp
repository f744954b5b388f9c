// The stream survives a sound server that goes away and comes back: run by pulse_recovery.sh
// with a private PulseAudio server, given the commands that start and stop it.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "sound/audio_device.h"

namespace {

using namespace std::chrono_literals;

class CountingSource : public sound::AudioSource {
public:
    void Render(float *out, int frames) override
    {
        std::fill(out, out + 2 * frames, 0.0f);
        // Relaxed: a counter only.
        blocks.fetch_add(1, std::memory_order_relaxed);
    }
    std::atomic<int> blocks{0};
};

template <class Condition> bool PollUntil(sound::AudioDevice &device, Condition condition)
{
    for (int i = 0; i < 200; ++i) { // 20 s
        device.Poll();
        if (condition())
            return true;
        std::this_thread::sleep_for(100ms);
    }
    return false;
}

int Fail(const char *what)
{
    std::fprintf(stderr, "FAILED: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 3)
        return Fail("usage: pulse_recovery START-COMMAND STOP-COMMAND");
    const std::string start = argv[1], stop = argv[2];
    CountingSource source;
    sound::AudioDevice device(&source);
    device.setRetryInterval(200ms);

    if (!device.Open())
        return Fail(("no device: " + device.error()).c_str());
    if (!PollUntil(device, [&] { return source.blocks.load() >= 10; }))
        return Fail("no sound before the server stopped");
    std::printf("playing in blocks of %d frames\n", device.blockFrames());

    if (std::system(stop.c_str()) != 0)
        return Fail("cannot stop the server");
    if (!PollUntil(device, [&] { return device.losses() == 1; }))
        return Fail("the loss went unnoticed");
    std::printf("device lost, retrying\n");
    for (int i = 0; i < 5; ++i) {
        device.Poll();
        std::this_thread::sleep_for(100ms);
    }
    if (device.IsOpen())
        return Fail("a device opened without a server");

    if (std::system(start.c_str()) != 0)
        return Fail("cannot start the server again");
    if (!PollUntil(device, [&] { return device.IsOpen(); }))
        return Fail(("no device after the server came back: " + device.error()).c_str());
    const int before = source.blocks.load();
    if (!PollUntil(device, [&] { return source.blocks.load() >= before + 10; }))
        return Fail("no sound after the server came back");
    std::printf("sound is back\n");
    return 0;
}
