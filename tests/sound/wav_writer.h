#pragma once
// Builds WAV files byte by byte for the tests, including broken ones, and a folder to put them in.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace soundtest {

using Bytes = std::vector<std::uint8_t>;

struct WavFormat {
    std::uint16_t tag = 1, channels = 2; // tag: 1 PCM, 3 float
    std::uint32_t rate = 44100;
    std::uint16_t bits = 16;
};

// A RIFF/WAVE file with a fmt chunk and a data chunk of `frames` frames that all hold `frame` (a raw
// value per channel: an integer or, for tag 3, a float); `declaredData` (when not 0) overrides the
// data size field.
inline Bytes MakeWav(const WavFormat &f, const std::vector<double> &frame, int frames, std::uint32_t declaredData = 0)
{
    const std::uint32_t align = f.channels * (f.bits / 8u), size = align * static_cast<std::uint32_t>(frames);
    Bytes b;
    auto put = [&b](std::initializer_list<std::pair<std::uint64_t, int>> fields) { // little-endian {value, bytes}
        for (auto [value, bytes] : fields)
            for (int i = 0; i < bytes; ++i)
                b.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    };
    put({{0x46464952, 4}, {4 + 8 + 16 + 8 + size, 4}, {0x45564157, 4}, {0x20746d66, 4}, {16, 4}}); // RIFF WAVE fmt
    put({{f.tag, 2}, {f.channels, 2}, {f.rate, 4}, {f.rate * align, 4}, {align, 2}, {f.bits, 2}});
    put({{0x61746164, 4}, {declaredData ? declaredData : size, 4}}); // data
    for (int i = 0; i < frames; ++i)
        for (double v : frame)
            put({{f.tag == 3 ? std::bit_cast<std::uint32_t>(float(v)) : std::uint64_t(std::llround(v)), f.bits / 8}});
    return b;
}

inline void WriteFile(const std::filesystem::path &path, const Bytes &bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

// A fresh folder, removed with its contents at the end of the test.
struct TempDir {
    std::string pattern = (std::filesystem::temp_directory_path() / "metronom-sound-XXXXXX").string();
    std::filesystem::path path_ = ::mkdtemp(pattern.data());
    ~TempDir() { std::filesystem::remove_all(path_); }
    const std::filesystem::path &path() const { return path_; }
    std::string operator/(const std::string &name) const { return (path_ / name).string(); }
};

} // namespace soundtest
