#pragma once
#include <string>

// The tempo of the window: its range, its Italian word, the step buttons and the link between the
// weight's height, the tempo and the pendulum's phase rate. Pure arithmetic, used on the UI thread.
namespace tempo {

inline constexpr double TempoSlope = 0.9166;
inline constexpr double TempoOffset = -0.05;
inline constexpr int kMinBpm = 1;
inline constexpr int kMaxBpm = 250;       // the step buttons and the tempo slider
inline constexpr int kMaxWeightBpm = 271; // the weight at the bottom of the rod

// The Italian tempo word of a whole number of beats per minute; empty for 0 or less.
std::string Tempowort(int iTempo);

// Rounds a tapped tempo: a value at least 0.005 above its nearest whole number is rounded to two
// decimals and raised by 0.1; any other value is rounded to two decimals (halves to even).
double Round2(double number);

// Rounds to `decimals` places, halves to the even neighbour.
double RoundTo(double x, int decimals);

// The tempo that a weight top shows: TempoSlope * top + TempoOffset, rounded.
int BpmFromSliderTop(int sliderTop);

// The tempo after a step button: 0 "<" -1, 1 ">" +1, 2 "<<" -10, 3 ">>" +10 (from 1 it gives 10);
// within 1..250, except that a step up leaves a faster tempo as it is and a step down from beyond
// the weight's scale (a shared session's tempo) takes its size off. Any other index leaves the
// tempo.
int StepTempo(int bpm, int index);

// Phase advance per millisecond that makes a pendulum swinging as Sin(Phase * swingFactor) pass
// its centre exactly `bpm` times a minute.
double PhaseRateForBpm(int bpm, double swingFactor);

} // namespace tempo
