#pragma once

// Volume and pan of the sample slots in hundredths of a decibel, and the linear gains they stand
// for. Pure arithmetic.
//
// Threads (see sound/threads.h): any thread.
namespace sound {

// Volume 0..100 as attenuation: 0 is -6000 (-60 dB), otherwise v * 60 - 6000 (85 gives -900).
int VolumeToAttenuation(int volume);

// Pan 0..100 as hundredths of a decibel: 0 is -10000 (left only), 100 is 10000 (right only),
// otherwise p * 100 - 5000 (50 is the centre).
int PanToHundredths(int pan);

// Linear gain of an attenuation in hundredths of a decibel: 10^(attenuation / 2000).
double AttenuationToGain(int hundredthsOfDb);

struct StereoGain {
    double left;
    double right;
};

// Linear gain of the whole mix at volume 0..100 (clamped) on the slots' scale, relative to volume
// 85: (volume - 85) * 0.6 dB, so 85 is 1, 100 is +9 dB and 0 is silence.
double VolumeGain(int volume);

// Gains of both channels for an attenuation and a pan: the pan attenuates the opposite channel.
StereoGain ChannelGains(int attenuation, int pan);

} // namespace sound
