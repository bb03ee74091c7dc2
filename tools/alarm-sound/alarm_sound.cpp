// Writes the program's default alarm sound: a second of a two-tone siren as a RIFF wave file
// (PCM, 8 kHz, 16-bit, mono), which the alarm player loops for as long as an alarm lasts.
//
//   torvel_alarm_sound OUTPUT.wav

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr std::uint32_t kRate = 8'000;
constexpr std::uint16_t kBits = 16;
// Each tone sounds a quarter of a second; the pair repeats twice.
constexpr std::array<double, 4> kTones = {960.0, 770.0, 960.0, 770.0};
constexpr std::uint32_t kToneSamples = kRate / 4;
// A short rise and fall at each tone's edges, so that the loop and the tone changes do not click.
constexpr std::uint32_t kEdgeSamples = 80;
constexpr double kAmplitude = 0.6 * 32767.0;

std::vector<std::int16_t> Siren() {
    std::vector<std::int16_t> samples;
    samples.reserve(kTones.size() * kToneSamples);
    for (const double tone : kTones) {
        for (std::uint32_t i = 0; i < kToneSamples; ++i) {
            const std::uint32_t edge = std::min(i, kToneSamples - 1 - i);
            const double envelope = edge < kEdgeSamples ? double(edge) / kEdgeSamples : 1.0;
            const double phase = 2.0 * std::numbers::pi * tone * i / kRate;
            samples.push_back(static_cast<std::int16_t>(kAmplitude * envelope * std::sin(phase)));
        }
    }
    return samples;
}

void PutU16(std::string& out, std::uint16_t value) {
    out.push_back(static_cast<char>(value & 0xFF));
    out.push_back(static_cast<char>(value >> 8));
}

void PutU32(std::string& out, std::uint32_t value) {
    PutU16(out, static_cast<std::uint16_t>(value & 0xFFFF));
    PutU16(out, static_cast<std::uint16_t>(value >> 16));
}

std::string WaveFile(const std::vector<std::int16_t>& samples) {
    const std::uint32_t dataBytes =
        static_cast<std::uint32_t>(samples.size() * sizeof(std::int16_t));
    const std::uint16_t blockAlign = kBits / 8;
    std::string out = "RIFF";
    PutU32(out, 36 + dataBytes);
    out += "WAVEfmt ";
    PutU32(out, 16);
    PutU16(out, 1);  // PCM
    PutU16(out, 1);  // mono
    PutU32(out, kRate);
    PutU32(out, kRate * blockAlign);
    PutU16(out, blockAlign);
    PutU16(out, kBits);
    out += "data";
    PutU32(out, dataBytes);
    for (const std::int16_t sample : samples) {
        PutU16(out, static_cast<std::uint16_t>(sample));
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.wav\n", argv[0]);
        return 2;
    }
    const std::string bytes = WaveFile(Siren());
    std::ofstream file(argv[1], std::ios::binary | std::ios::trunc);
    file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!file.flush()) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
