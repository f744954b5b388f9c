#pragma once
#include <string>

namespace tempo {

// The Italian tempo word of a whole number of beats per minute; empty for 0 or less.
std::string Tempowort(int iTempo);

} // namespace tempo
