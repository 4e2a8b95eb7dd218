// Synthesised chimes, a hop, a giggle, a yawn-like glide and a dance tune.
#include "tools/make_sample/sounds.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "tools/make_sample/geometry.h"

namespace vashel::sample {
namespace {

constexpr int kRate = 22050;

// A mono buffer of floating samples in [-1, 1], mixed into.
class Track {
 public:
  Track(double seconds, int rate) : rate_(rate), data_(static_cast<size_t>(seconds * rate), 0.0) {}

  int rate() const { return rate_; }
  size_t size() const { return data_.size(); }
  void add(size_t i, double v) {
    if (i < data_.size()) data_[i] += v;
  }

  // A struck tone with a few partials, each decaying at its own rate.
  void bell(double at, double frequency, double amplitude, double decay) {
    static constexpr double kPartials[][3] = {{1.0, 1.0, 1.0}, {2.0, 0.35, 1.8}, {3.01, 0.15, 2.6}, {4.2, 0.08, 3.5}};
    const size_t first = static_cast<size_t>(at * rate_);
    const size_t count = static_cast<size_t>(6.0 / decay * rate_);
    for (size_t k = 0; k < count; ++k) {
      const double t = static_cast<double>(k) / rate_;
      const double attack = std::min(1.0, t / 0.004);
      double v = 0.0;
      for (const auto& p : kPartials) v += p[1] * std::exp(-t * decay * p[2]) * std::sin(2.0 * kPi * frequency * p[0] * t);
      add(first + k, amplitude * attack * v);
    }
  }

  // A tone whose frequency follows f(t) over `length` seconds, shaped by env(t / length).
  template <class Frequency, class Envelope>
  void glide(double at, double length, double amplitude, Frequency f, Envelope env, double brightness = 0.0) {
    const size_t first = static_cast<size_t>(at * rate_);
    const size_t count = static_cast<size_t>(length * rate_);
    double phase = 0.0;
    for (size_t k = 0; k < count; ++k) {
      const double t = static_cast<double>(k) / rate_;
      phase += 2.0 * kPi * f(t) / rate_;
      const double v = std::sin(phase) + brightness * std::sin(2.0 * phase) + brightness * 0.4 * std::sin(3.0 * phase);
      add(first + k, amplitude * env(t / length) * v);
    }
  }

  // Soft clipping, then 16-bit samples.
  std::vector<std::int16_t> pcm16() const {
    std::vector<std::int16_t> out;
    out.reserve(data_.size());
    for (double v : data_) {
      const double s = std::tanh(v * 1.2) / std::tanh(1.2);
      out.push_back(static_cast<std::int16_t>(std::lround(std::clamp(s, -1.0, 1.0) * 32000.0)));
    }
    return out;
  }

 private:
  int rate_;
  std::vector<double> data_;
};

double bump(double x) { return std::sin(kPi * std::clamp(x, 0.0, 1.0)); }

double noteFrequency(int midi) { return 440.0 * std::pow(2.0, (midi - 69) / 12.0); }

// Greeting: three rising bell notes.
std::vector<std::int16_t> chime() {
  Track t(1.6, kRate);
  t.bell(0.00, noteFrequency(79), 0.22, 3.0);
  t.bell(0.16, noteFrequency(84), 0.22, 3.0);
  t.bell(0.32, noteFrequency(88), 0.26, 2.4);
  return t.pcm16();
}

// Jump: a springy upward sweep at take-off, a soft thump on landing.
std::vector<std::int16_t> hop() {
  Track t(1.2, kRate);
  t.glide(0.28, 0.18, 0.35, [](double x) { return 260.0 + 900.0 * std::pow(x / 0.18, 1.6); },
          [](double x) { return bump(x) * (1.0 - 0.5 * x); }, 0.3);
  t.glide(0.88, 0.12, 0.45, [](double x) { return 150.0 - 300.0 * x; },
          [](double x) { return std::exp(-6.0 * x) * std::min(1.0, x * 40.0); });
  return t.pcm16();
}

// Tickle: five quick chirps falling in pitch, "hihihihi".
std::vector<std::int16_t> giggle() {
  Track t(1.0, kRate);
  for (int k = 0; k < 5; ++k) {
    const double base = 1250.0 - 70.0 * k;
    t.glide(0.05 + 0.15 * k, 0.085, 0.26,
            [base](double x) { return base * (1.0 + 0.25 * std::sin(kPi * x / 0.085)) + 60.0 * std::sin(2.0 * kPi * 38.0 * x); },
            [](double x) { return bump(x) * bump(x); }, 0.45);
  }
  return t.pcm16();
}

// Head pat: a soft pop and three sparkles.
std::vector<std::int16_t> sparkle() {
  Track t(0.9, kRate);
  t.glide(0.0, 0.06, 0.3, [](double x) { return 520.0 + 3000.0 * x; }, [](double x) { return bump(x); });
  t.bell(0.06, noteFrequency(91), 0.12, 7.0);
  t.bell(0.13, noteFrequency(96), 0.12, 7.0);
  t.bell(0.20, noteFrequency(100), 0.12, 6.0);
  return t.pcm16();
}

// Stretch: a slow glide up while the arms rise, and down as they drop.
std::vector<std::int16_t> stretchGlide() {
  Track t(2.6, kRate);
  t.glide(0.15, 1.1, 0.2, [](double x) { return 420.0 + 330.0 * smoothstep(0.0, 1.1, x) + 6.0 * std::sin(2.0 * kPi * 5.0 * x); },
          [](double x) { return smoothstep(0.0, 0.3, x) * (1.0 - smoothstep(0.7, 1.0, x) * 0.6); }, 0.35);
  t.glide(1.6, 0.9, 0.16, [](double x) { return 700.0 - 260.0 * smoothstep(0.0, 0.9, x); },
          [](double x) { return smoothstep(0.0, 0.15, x) * (1.0 - smoothstep(0.4, 1.0, x)); }, 0.3);
  return t.pcm16();
}

// Dance: four bars at 120 beats a minute, a plucked melody over a bass.
std::vector<std::int16_t> tune(int rate) {
  Track t(4.1, rate);
  static constexpr int kMelody[] = {72, 76, 79, 76, 77, 81, 79, 76, 74, 77, 76, 72, 74, 79, 84, 0};
  static constexpr int kBass[] = {48, 53, 50, 55};
  const double eighth = 0.25;
  for (int i = 0; i < 16; ++i) {
    if (kMelody[i] == 0) continue;
    const double f = noteFrequency(kMelody[i]);
    t.glide(i * eighth, i == 14 ? 0.5 : eighth * 0.95, 0.22, [f](double) { return f; },
            [](double x) { return std::exp(-3.0 * x) * std::min(1.0, x * 60.0); }, 0.5);
  }
  for (int bar = 0; bar < 4; ++bar) {
    const double f = noteFrequency(kBass[bar]);
    for (int beat = 0; beat < 2; ++beat) {
      t.glide(bar * 1.0 + beat * 0.5, 0.45, 0.2, [f](double) { return f; },
              [](double x) { return std::exp(-4.0 * x) * std::min(1.0, x * 80.0); }, 0.2);
    }
  }
  return t.pcm16();
}

void put16(std::string& out, unsigned v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}

void put32(std::string& out, std::uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

std::string waveFile(unsigned formatTag, unsigned bitsPerSample, int rate, const std::string& samples,
                     bool extendedFormat) {
  const unsigned blockAlign = bitsPerSample / 8;
  std::string fmt;
  put16(fmt, formatTag);
  put16(fmt, 1);  // mono
  put32(fmt, static_cast<std::uint32_t>(rate));
  put32(fmt, static_cast<std::uint32_t>(rate) * blockAlign);
  put16(fmt, blockAlign);
  put16(fmt, bitsPerSample);
  if (extendedFormat) put16(fmt, 0);
  std::string body = "WAVE";
  body += "fmt ";
  put32(body, static_cast<std::uint32_t>(fmt.size()));
  body += fmt;
  if (formatTag != 1) {
    body += "fact";
    put32(body, 4);
    put32(body, static_cast<std::uint32_t>(samples.size() / blockAlign));
  }
  body += "data";
  put32(body, static_cast<std::uint32_t>(samples.size()));
  body += samples;
  std::string out = "RIFF";
  put32(out, static_cast<std::uint32_t>(body.size()));
  return out + body;
}

}  // namespace

std::uint8_t muLawEncode(std::int16_t sample) {
  constexpr int kBias = 0x84, kClip = 32635;
  int s = sample;
  const int sign = s < 0 ? 0x80 : 0;
  if (s < 0) s = -s;
  s = std::min(s, kClip) + kBias;
  int exponent = 7;
  for (int mask = 0x4000; (s & mask) == 0 && exponent > 0; mask >>= 1) --exponent;
  const int mantissa = (s >> (exponent + 3)) & 0x0F;
  return static_cast<std::uint8_t>(~(sign | exponent << 4 | mantissa));
}

std::string encodeWavePcm16(const std::vector<std::int16_t>& samples, int rate) {
  std::string data;
  for (std::int16_t s : samples) put16(data, static_cast<std::uint16_t>(s));
  return waveFile(1, 16, rate, data, false);
}

std::string encodeWaveMuLaw(const std::vector<std::int16_t>& samples, int rate) {
  std::string data;
  for (std::int16_t s : samples) data += static_cast<char>(muLawEncode(s));
  if (data.size() % 2) data += static_cast<char>(muLawEncode(0));  // chunks stay even-sized
  return waveFile(7, 8, rate, data, true);
}

void scrambleSoundData(char* data, std::size_t size, std::string_view key) {
  unsigned char table[64] = {};
  for (size_t i = 0; i < key.size() && 2 * i + 1 < sizeof table; ++i) {
    table[2 * i] = static_cast<unsigned char>(key[i]);
    table[2 * i + 1] = static_cast<unsigned char>(i + 37);
  }
  const size_t cycle = std::strlen(reinterpret_cast<const char*>(table));
  size_t p = 0;
  unsigned c = 0;
  for (size_t j = 0; j < size; ++j) {
    data[j] = static_cast<char>(static_cast<unsigned char>(data[j]) ^ ((table[p] + c) & 0xFF));
    c = (c + 1) % 16;
    p = (p + 1) % cycle;
  }
}

std::vector<SoundFile> buildSounds() {
  std::vector<SoundFile> sounds;
  sounds.push_back({"chime.wav", encodeWavePcm16(chime(), kRate)});
  sounds.push_back({"hop.wav", encodeWavePcm16(hop(), kRate)});
  sounds.push_back({"pat.wav", encodeWavePcm16(sparkle(), kRate)});
  sounds.push_back({"stretch.wav", encodeWavePcm16(stretchGlide(), kRate)});
  sounds.push_back({"dance.wav", encodeWaveMuLaw(tune(11025), 11025)});
  // The giggle's samples are scrambled; its RIFF chunks are not.
  std::string giggleWave = encodeWavePcm16(giggle(), kRate);
  const size_t dataStart = giggleWave.find("data") + 8;
  scrambleSoundData(giggleWave.data() + dataStart, giggleWave.size() - dataStart, kSoundKey);
  sounds.push_back({"giggle.wavz", std::move(giggleWave)});
  return sounds;
}

}  // namespace vashel::sample
