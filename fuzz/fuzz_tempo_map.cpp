// Fuzz target for tempo maps: any bytes given as a map are either refused with a message naming a
// line, or become sections the engine can place, every click at a finite, later time.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/song_plan.h"
#include "song/tempo_map.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const song::ParseResult r = song::ParseTempoMap(text, "f");
    if (!r.map) {
        if (r.error.rfind("f", 0) != 0)
            std::abort();
        return 0;
    }
    for (int countIn = 0; countIn <= 2; ++countIn) {
        const engine::SongPlan plan(*r.map, int(size % r.map->sections.size()), countIn);
        double last = -1;
        for (std::size_t s = 0; s < plan.sections().size(); ++s) {
            const auto clicks = plan.sections()[s].clicks;
            // The first clicks and the last of each section (a section may have many).
            for (std::int64_t i : {std::int64_t(0), std::int64_t(1), clicks - 1, clicks}) {
                const double t = plan.ClickTime(s, std::min(std::max<std::int64_t>(i, 0), clicks));
                if (!std::isfinite(t) || t < 0)
                    std::abort();
            }
            const double start = plan.ClickTime(s, 0);
            if (!(start > last))
                std::abort();
            last = start;
        }
        if (!(plan.EndTime() > last) || !(plan.Lead() > 0))
            std::abort();
    }
    return 0;
}
