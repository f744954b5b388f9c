#include "tempo/tempo_model.h"

namespace tempo {

std::string Tempowort(int iTempo)
{
    struct Range { int upTo; const char *word; };
    // Each row covers the tempos up to and including `upTo`; the first match wins.
    static constexpr Range kWords[] = {
        {0, ""},           {19, "Larghissimo"}, {39, "Largamente"}, {59, "Largo"},
        {65, "Larghetto"}, {75, "Adagio"},      {107, "Andante"},   {119, "Moderato"},
        {167, "Allegro"},  {199, "Presto"},
    };
    for (const Range &r : kWords)
        if (iTempo <= r.upTo)
            return r.word;
    return "Prestissimo";
}

} // namespace tempo
