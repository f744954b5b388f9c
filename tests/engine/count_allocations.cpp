// The global operator new and delete of the engine tests, which count the calls made while the
// metronome renders (RenderTest): its own file, so that no call of them is inlined beside a test's
// own allocations. The array forms of libstdc++ end in these, and Render holds no over-aligned types.
#include <cstdlib>
#include <new>

#include "engine/render_test.h"

void *operator new(std::size_t n)
{
    enginetest::allocations += enginetest::rendering;
    if (void *p = std::malloc(n ? n : 1))
        return p;
    throw std::bad_alloc();
}
void operator delete(void *p) noexcept { enginetest::allocations += enginetest::rendering && p, std::free(p); }
void operator delete(void *p, std::size_t) noexcept
{
    enginetest::allocations += enginetest::rendering && p, std::free(p);
}
