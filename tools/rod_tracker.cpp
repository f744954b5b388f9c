// Follows the metronome's rod on the screen: stamps every frame the program's window draws and
// reads where the rod crosses one pixel row.
//
// Usage: rod_tracker WINDOW [--row Y] [--seconds N]
//
// WINDOW is the X window id (decimal or 0x hex), --row a row of the window (default 60: above
// the weight at the tempos measured, below the highest the rod's tip goes). The pendulum must rest
// when the tracker starts: the rod's resting column is read first, together with the dark inside
// of the case around it, the only part of the row where the rod is looked for.
//
// Every damage event on the window (XDamage) is stamped with CLOCK_MONOTONIC and the row read
// (XGetImage of one row); when the row changed, one line is printed:
//   MONOTONIC_NS  SERVER_MS  X
// X is the rod's centre in pixels of the window (sub-pixel: the centroid of its brightness over
// the case), less its resting column: 0 is the centre, "-" when the rod is outside the dark
// inside of the case. SERVER_MS is the event's X server time (milliseconds), for checking how
// late the stamps came. The first line is "# rest X0 inside FROM..TO".
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/Xdamage.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

namespace {

std::int64_t MonotonicNs()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return std::int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

// The brightness (green channel, 0..255) of each pixel of row `y`.
bool ReadRow(Display *d, Window w, int y, int width, std::vector<int> &out)
{
    XImage *image = XGetImage(d, w, 0, y, unsigned(width), 1, AllPlanes, ZPixmap);
    if (!image)
        return false;
    out.resize(std::size_t(width));
    for (int x = 0; x < width; ++x)
        out[std::size_t(x)] = int((XGetPixel(image, x, 0) & image->green_mask) * 255 / image->green_mask);
    XDestroyImage(image);
    return true;
}

constexpr int kDark = 40;    // the inside of the case is darker than this, the rod brighter
constexpr int kRodWidth = 7; // the rod with its antialiased edges

// The rod's centre in row `row` between `from` and `to`: the centroid of the brightness above the
// case's; -1 when no rod lies wholly inside.
double RodCentre(const std::vector<int> &row, int from, int to, int background)
{
    double sum = 0, weight = 0;
    int first = -1, last = -1;
    for (int x = from; x <= to; ++x) {
        const int w = row[std::size_t(x)] - background;
        if (w <= 8)
            continue;
        if (first < 0)
            first = x;
        last = x;
        sum += w * (x + 0.5);
        weight += w;
    }
    if (weight <= 0 || first <= from || last >= to || last - first > kRodWidth + 2)
        return -1;
    return sum / weight;
}

int Fail(const char *what)
{
    std::fprintf(stderr, "rod_tracker: %s\n", what);
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return Fail("usage: rod_tracker WINDOW [--row Y] [--seconds N]");
    const Window window = std::strtoul(argv[1], nullptr, 0);
    int rowY = 60;
    double seconds = 1e9;
    for (int i = 2; i + 1 < argc; i += 2) {
        if (!std::strcmp(argv[i], "--row"))
            rowY = std::atoi(argv[i + 1]);
        else if (!std::strcmp(argv[i], "--seconds"))
            seconds = std::atof(argv[i + 1]);
        else
            return Fail("unknown option");
    }
    Display *d = XOpenDisplay(nullptr);
    if (!d)
        return Fail("no X display");
    int damageEvent, damageError;
    if (!XDamageQueryExtension(d, &damageEvent, &damageError))
        return Fail("the X server has no DAMAGE extension");
    XWindowAttributes attributes;
    if (!XGetWindowAttributes(d, window, &attributes) || rowY < 0 || rowY >= attributes.height)
        return Fail("no such window, or the row is outside it");
    const int width = attributes.width;

    // At rest: the rod is the bright run nearest the window's left third; the inside of the case
    // is the dark run around it.
    std::vector<int> row;
    if (!ReadRow(d, window, rowY, width, row))
        return Fail("cannot read the window");
    int rodFrom = -1, rodTo = -1;
    for (int x = 1; x < width; ++x) {
        if (row[std::size_t(x)] > kDark && row[std::size_t(x - 1)] <= kDark && rodFrom < 0) {
            int end = x;
            while (end + 1 < width && row[std::size_t(end + 1)] > kDark)
                ++end;
            if (end - x + 1 <= kRodWidth && row[std::size_t(end + 1)] <= kDark)
                rodFrom = x, rodTo = end;
        }
    }
    if (rodFrom < 0)
        return Fail("no resting rod in the row");
    int from = rodFrom, to = rodTo;
    while (from > 0 && row[std::size_t(from - 1)] <= kDark)
        --from;
    while (to + 1 < width && row[std::size_t(to + 1)] <= kDark)
        ++to;
    int background = 0;
    for (int x = from; x <= to; ++x)
        if (x < rodFrom || x > rodTo)
            background = std::max(background, row[std::size_t(x)]);
    const double rest = RodCentre(row, from, to, background);
    if (rest < 0)
        return Fail("the resting rod is not clear");
    std::printf("# rest %.3f inside %d..%d\n", rest, from, to);
    std::fflush(stdout);

    Damage damage = XDamageCreate(d, window, XDamageReportNonEmpty);
    std::vector<int> previous = row;
    const std::int64_t end = MonotonicNs() + std::int64_t(seconds * 1e9);
    while (MonotonicNs() < end) {
        XEvent e;
        XNextEvent(d, &e);
        const std::int64_t stamp = MonotonicNs();
        if (e.type != damageEvent + XDamageNotify)
            continue;
        const auto &notify = reinterpret_cast<const XDamageNotifyEvent &>(e);
        XDamageSubtract(d, damage, None, None);
        if (!ReadRow(d, window, rowY, width, row))
            break;
        if (row == previous)
            continue;
        previous = row;
        const double x = RodCentre(row, from, to, background);
        if (x < 0)
            std::printf("%lld %lu -\n", (long long)stamp, (unsigned long)notify.timestamp);
        else
            std::printf("%lld %lu %.3f\n", (long long)stamp, (unsigned long)notify.timestamp, x - rest);
        std::fflush(stdout);
    }
    XDamageDestroy(d, damage);
    XCloseDisplay(d);
    return 0;
}
