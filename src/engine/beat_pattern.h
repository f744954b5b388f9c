#pragma once
#include <array>

// The accent marks of the beats of a cycle.
// Threads (see sound/threads.h): UI thread.
namespace engine {

inline constexpr int kPatternSize = 17; // marks kept per row; the window reaches the first eight
inline constexpr int kLamps = 8;

// The two rows of lamps: the upper row marks accent 1, the lower row accent 2.
enum class AccentRow { Accent1 = 1, Accent2 = 2 };

struct BeatPattern {
    std::array<bool, kPatternSize> Accent1{}; // upper lamp row: beat i + 1 carries accent 1
    std::array<bool, kPatternSize> Accent2{}; // lower lamp row: beat i + 1 carries accent 2

    // Flips the mark of lamp `index` (0..16) in `row` and returns its new state.
    bool Toggle(AccentRow row, int index);
    // The pattern the window starts with: accent 1 on beats 1 and 5, accent 2 on beats 3 and 7.
    static BeatPattern Initial();
};

} // namespace engine
