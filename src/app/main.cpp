#include <cstdio>
#include <cstdlib>

#include "app/startup.h"

int main(int argc, char **argv)
{
    // A latency asked for in the environment (some set it for games) overrides the sound stream's
    // own buffer sizes whenever they are set, and then the beats no longer fall on their frames:
    // removed before any thread or library reads the environment.
    bool said = false;
    for (const char *name : {"PULSE_LATENCY_MSEC", "PIPEWIRE_LATENCY"}) {
        if (const char *value = std::getenv(name)) {
            if (!said)
                std::fprintf(stderr, "metronom: ignored %s=%.16s: the beats keep the sound output's own latency\n",
                             name, value);
            said = true;
            unsetenv(name);
        }
    }
    return app::Main(argc, argv);
}
