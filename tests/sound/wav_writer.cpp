#include "sound/wav_writer.h"

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace soundtest {

namespace {

void Put16(Bytes &b, std::uint16_t v)
{
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}

void Put32(Bytes &b, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

void PutTag(Bytes &b, const char *tag)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<std::uint8_t>(tag[i]));
}

} // namespace

Bytes MakeWav(const WavFormat &f, const Bytes &data, std::optional<std::uint32_t> declaredData)
{
    const std::uint16_t blockAlign = static_cast<std::uint16_t>(f.channels * (f.bits / 8));
    Bytes fmt;
    Put16(fmt, f.extensible ? 0xFFFE : f.tag);
    Put16(fmt, f.channels);
    Put32(fmt, f.rate);
    Put32(fmt, f.rate * blockAlign);
    Put16(fmt, blockAlign);
    Put16(fmt, f.bits);
    if (f.extensible) {
        Put16(fmt, 22);     // size of the extension
        Put16(fmt, f.bits); // valid bits
        Put32(fmt, f.channels == 1 ? 0x4 : 0x3); // centre, or front left and right
        Put16(fmt, f.tag);  // the sub-format GUID: the tag, then the fixed tail
        const std::uint8_t tail[14] = {0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
        for (std::uint8_t byte : tail)
            fmt.push_back(byte);
    }

    Bytes b;
    PutTag(b, "RIFF");
    Put32(b, static_cast<std::uint32_t>(4 + 8 + fmt.size() + 8 + data.size() + data.size() % 2));
    PutTag(b, "WAVE");
    PutTag(b, "fmt ");
    Put32(b, static_cast<std::uint32_t>(fmt.size()));
    b.insert(b.end(), fmt.begin(), fmt.end());
    PutTag(b, "data");
    Put32(b, declaredData.value_or(static_cast<std::uint32_t>(data.size())));
    b.insert(b.end(), data.begin(), data.end());
    if (data.size() % 2)
        b.push_back(0);
    return b;
}

Bytes Pcm8(const std::vector<std::uint8_t> &values)
{
    return Bytes(values.begin(), values.end());
}

Bytes Pcm16(const std::vector<std::int16_t> &values)
{
    Bytes b;
    for (std::int16_t v : values)
        Put16(b, static_cast<std::uint16_t>(v));
    return b;
}

Bytes Pcm24(const std::vector<std::int32_t> &values)
{
    Bytes b;
    for (std::int32_t v : values)
        for (int i = 0; i < 3; ++i)
            b.push_back(static_cast<std::uint8_t>(static_cast<std::uint32_t>(v) >> (8 * i)));
    return b;
}

Bytes Pcm32(const std::vector<std::int32_t> &values)
{
    Bytes b;
    for (std::int32_t v : values)
        Put32(b, static_cast<std::uint32_t>(v));
    return b;
}

Bytes Float32(const std::vector<float> &values)
{
    Bytes b;
    for (float v : values) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, 4);
        Put32(b, bits);
    }
    return b;
}

Bytes Constant16(int frames, std::int16_t left, std::int16_t right)
{
    std::vector<std::int16_t> v;
    for (int i = 0; i < frames; ++i) {
        v.push_back(left);
        v.push_back(right);
    }
    return Pcm16(v);
}

Bytes ConstantWav(int frames, std::int16_t left, std::int16_t right)
{
    return MakeWav({}, Constant16(frames, left, right));
}

void WriteFile(const std::filesystem::path &path, const Bytes &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out)
        throw std::runtime_error("cannot write " + path.string());
}

TempDir::TempDir()
{
    std::string pattern = (std::filesystem::temp_directory_path() / "metronom-sound-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
        throw std::runtime_error("cannot make a temporary folder");
    path_ = pattern;
}

TempDir::~TempDir()
{
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

} // namespace soundtest
