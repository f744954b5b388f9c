#pragma once
// Builds WAV files byte by byte for the tests, including broken ones.
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace soundtest {

using Bytes = std::vector<std::uint8_t>;

struct WavFormat {
    std::uint16_t tag = 1; // 1 PCM, 3 float, 7 mu-law, 0x55 MPEG layer 3, ...
    std::uint16_t channels = 2;
    std::uint32_t rate = 44100;
    std::uint16_t bits = 16;
    bool extensible = false; // WAVE_FORMAT_EXTENSIBLE with `tag` as its sub-format
};

// A RIFF/WAVE file with a fmt chunk and a data chunk. `declaredData` overrides the data chunk's
// size field (the body stays as given).
Bytes MakeWav(const WavFormat &format, const Bytes &data, std::optional<std::uint32_t> declaredData = {});

// Sample data in little-endian order.
Bytes Pcm8(const std::vector<std::uint8_t> &values);
Bytes Pcm16(const std::vector<std::int16_t> &values);
Bytes Pcm24(const std::vector<std::int32_t> &values);
Bytes Pcm32(const std::vector<std::int32_t> &values);
Bytes Float32(const std::vector<float> &values);

// `frames` stereo 16-bit frames of a constant left and right value.
Bytes Constant16(int frames, std::int16_t left, std::int16_t right);
// A stereo 16-bit file of 44100 Hz whose frames all hold `left` and `right`.
Bytes ConstantWav(int frames, std::int16_t left, std::int16_t right);

void WriteFile(const std::filesystem::path &path, const Bytes &bytes);

// A fresh folder, removed with its contents at the end of the test.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::filesystem::path &path() const { return path_; }
    std::string operator/(const std::string &name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

} // namespace soundtest
