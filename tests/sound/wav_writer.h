#pragma once
// Builds WAV files byte by byte for the tests, including broken ones, and a folder to put them in.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace soundtest {

using Bytes = std::vector<std::uint8_t>;

struct WavFormat {
    std::uint16_t tag = 1; // 1 PCM, 3 float
    std::uint16_t channels = 2;
    std::uint32_t rate = 44100;
    std::uint16_t bits = 16;
};

// Little-endian values of a given size each, {value, bytes}.
inline void Put(Bytes &b, std::initializer_list<std::pair<std::uint64_t, int>> fields)
{
    for (auto [value, bytes] : fields)
        for (int i = 0; i < bytes; ++i)
            b.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// A RIFF/WAVE file with a fmt chunk and a data chunk of `frames` frames that all hold `frame` (a raw
// value per channel: an integer or, for tag 3, a float); `declaredData` overrides the data size field.
inline Bytes MakeWav(const WavFormat &f, const std::vector<double> &frame, int frames,
                     std::optional<std::uint32_t> declaredData = {})
{
    const std::uint32_t align = f.channels * (f.bits / 8u), size = align * static_cast<std::uint32_t>(frames);
    Bytes b = {'R', 'I', 'F', 'F'};
    Put(b, {{4 + 8 + 16 + 8 + size, 4}});
    b.insert(b.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put(b, {{16, 4}, {f.tag, 2}, {f.channels, 2}, {f.rate, 4}, {f.rate * align, 4}, {align, 2}, {f.bits, 2}});
    b.insert(b.end(), {'d', 'a', 't', 'a'});
    Put(b, {{declaredData.value_or(size), 4}});
    for (int i = 0; i < frames; ++i)
        for (double v : frame) {
            std::uint32_t bits = 0;
            const float x = static_cast<float>(v);
            std::memcpy(&bits, &x, 4);
            Put(b, {{f.tag == 3 ? bits : static_cast<std::uint64_t>(std::llround(v)), f.bits / 8}});
        }
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
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path &path() const { return path_; }
    std::string operator/(const std::string &name) const { return (path_ / name).string(); }
};

} // namespace soundtest
