#include "sound/levels.h"

#include <cmath>
#include <cstdlib>

namespace sound {

int VolumeToAttenuation(int volume)
{
    return volume == 0 ? -6000 : volume * 60 - 6000;
}

int PanToHundredths(int pan)
{
    if (pan == 0)
        return -10000;
    if (pan == 100)
        return 10000;
    return pan * 100 - 5000;
}

double AttenuationToGain(int hundredthsOfDb)
{
    // -10000 (the device's silence) and below count as no sound at all.
    if (hundredthsOfDb <= -10000)
        return 0.0;
    return std::pow(10.0, hundredthsOfDb / 2000.0);
}

double VolumeGain(int volume)
{
    if (volume <= 0)
        return 0.0;
    return AttenuationToGain((volume > 100 ? 100 : volume) * 60 - 5100);
}

StereoGain ChannelGains(int attenuation, int pan)
{
    const double g = AttenuationToGain(attenuation);
    const double side = AttenuationToGain(-std::abs(pan));
    if (pan > 0)
        return {g * side, g};
    if (pan < 0)
        return {g, g * side};
    return {g, g};
}

} // namespace sound
