// Sound files to PCM: codecs decoded as sox decodes them, the chunk walk,
// the descrambling, and the files that must be refused.
#include "sound/wave.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <numeric>

#include "hostile_files.h"
#include "sound/sound_files.h"

namespace vashel {
namespace {

using namespace vashel::testing;

const std::string kSample = std::string(VASHEL_TEST_DATA) + "/../../examples/sample";

struct Codec {
  const char* name;
  const char* encode;   // sox output options
  const char* signal;   // sox synth input
  int tolerance;        // largest difference from sox's decoding
};

// Each codec's WAVE from sox decodes to the samples sox itself decodes from it;
// the decoders may differ by rounding only, and by at most one codec block in
// length (a partial last block).
TEST(WaveCodecs, DecodeLikeSox) {
  VASHEL_REQUIRE_SOX();
  const Codec codecs[] = {
      {"pcm16", "-e signed-integer -b 16", "-r 22050 -c 2", 0},
      {"pcm8", "-e unsigned-integer -b 8", "-r 11025 -c 1", 0},
      {"ima_adpcm", "-e ima-adpcm", "-r 22050 -c 2", 1},
      {"ms_adpcm", "-e ms-adpcm", "-r 22050 -c 1", 1},
      {"mu_law", "-e mu-law", "-r 11025 -c 2", 0},
      {"a_law", "-e a-law", "-r 11025 -c 1", 0},
      {"gsm", "-e gsm-full-rate", "-r 8000 -c 1", 1},
      {"float", "-e floating-point -b 32", "-r 22050 -c 2", 1},
  };
  TempFolder dir;
  for (const Codec& codec : codecs) {
    SCOPED_TRACE(codec.name);
    const std::string file = std::string(codec.name) + ".wav";
    const std::string raw = std::string(codec.name) + ".raw";
    ASSERT_TRUE(sox(dir.path(), std::string("-n ") + codec.signal + " " + codec.encode + " " + file +
                                    " synth 0.4 sine 200-3000 sine 440 vol 0.8"));
    const bool eightBit = std::string(codec.name) == "pcm8";
    ASSERT_TRUE(sox(dir.path(), file + " -t raw " +
                                    (eightBit ? "-e unsigned-integer -b 8 " : "-e signed-integer -b 16 ") +
                                    raw));
    std::string problem;
    const auto sound = loadSound(dir / file, problem);
    ASSERT_TRUE(sound) << problem;
    const std::string expected = readBytes(dir / raw);
    ASSERT_FALSE(expected.empty());

    const int channels = std::string(codec.signal).find("-c 2") != std::string::npos ? 2 : 1;
    EXPECT_EQ(sound->format.channels, channels);
    EXPECT_EQ(sound->format.sampleRate, std::atoi(std::string(codec.signal).substr(3).c_str()));
    EXPECT_EQ(sound->format.bitsPerSample, eightBit ? 8 : 16);
    if (eightBit) {
      EXPECT_EQ(std::string(sound->data.begin(), sound->data.end()), expected);
      continue;
    }
    const auto ours = samples16(sound->data);
    const auto theirs = samples16(expected);
    const std::size_t longer = std::max(ours.size(), theirs.size());
    EXPECT_LE(longer - std::min(ours.size(), theirs.size()), 2048u) << ours.size() << " vs " << theirs.size();
    int worst = 0;
    std::size_t worstAt = 0;
    for (std::size_t i = 0; i < std::min(ours.size(), theirs.size()); ++i) {
      const int difference = std::abs(ours[i] - theirs[i]);
      if (difference > worst) worst = difference, worstAt = i;
    }
    EXPECT_LE(worst, codec.tolerance) << "at sample " << worstAt;
    // The signal is there, not silence that would match trivially.
    EXPECT_GT(*std::max_element(ours.begin(), ours.end()), 10000);
  }
}

// What the walk accepts: a 16- or 18-byte format, other chunks skipped,
// odd-sized chunks without a pad byte, a trailing partial frame dropped.
TEST(WaveChunks, FormatsAndSkippedChunks) {
  const std::string samples = u16(1) + u16(0xfffe) + u16(0x1234) + u16(0x8000);
  const auto expectSamples = [&](const std::string& image, const char* what) {
    SCOPED_TRACE(what);
    std::string problem;
    const std::vector<char> bytes(image.begin(), image.end());
    const auto sound = decodeSound(bytes, "x.wav", problem);
    ASSERT_TRUE(sound) << problem;
    EXPECT_EQ(std::string(sound->data.begin(), sound->data.end()), samples);
    EXPECT_EQ(sound->format.channels, 2);
    EXPECT_EQ(sound->format.sampleRate, 8000);
    EXPECT_EQ(sound->format.bitsPerSample, 16);
    EXPECT_EQ(sound->format.bytesPerSecond(), 32000);
  };
  const std::string fmt16 = pcmFormat(2, 8000, 16);
  expectSamples(riff(chunk("fmt ", fmt16) + chunk("data", samples)), "16-byte format");
  expectSamples(riff(chunk("fmt ", fmt16 + u16(0)) + chunk("data", samples)), "18-byte format");
  expectSamples(riff(chunk("fmt ", fmt16 + u16(4) + "abcd") + chunk("data", samples)),
                "format with extra bytes");
  expectSamples(riff(chunk("LIST", "INFOabc") + chunk("fmt ", fmt16) + chunk("fact", u32(2)) +
                     chunk("data", samples)),
                "LIST and fact skipped, odd size without a pad byte");
  expectSamples(riff(chunk("fmt ", fmt16) + chunk("data", samples + "\x01\x02\x03")),
                "partial frame dropped");
  expectSamples(riff(chunk("fmt ", fmt16) + chunk("data", samples) + "junk after"), "trailing bytes");
}

// Refused files name their reason, and nothing past the image is read (the
// images are exactly sized, so the sanitizer build sees any overread).
TEST(WaveChunks, RefusedImages) {
  const std::string fmt16 = pcmFormat(1, 8000, 16);
  const std::string data = chunk("data", std::string(64, '\x10'));
  std::string beyond = chunk("fmt ", fmt16) + "data" + u32(1000) + std::string(10, 'x');
  std::string hugeChunk = chunk("fmt ", fmt16) + "LIST" + u32(0xfffffff0u) + data;
  struct Case {
    const char* what;
    std::string image;
    const char* reason;
  } cases[] = {
      {"empty", "", "not a RIFF WAVE file"},
      {"not RIFF", "RIFX" + u32(100) + "WAVE" + chunk("fmt ", fmt16) + data, "not a RIFF WAVE file"},
      {"not WAVE", "RIFF" + u32(100) + "AVI " + chunk("fmt ", fmt16) + data, "not a RIFF WAVE file"},
      {"header only", "RIFF" + u32(100) + "WAVE", "no complete \"fmt \" chunk"},
      {"no data", riff(chunk("fmt ", fmt16) + chunk("LIST", "abcd")), "no complete \"data\" chunk"},
      {"no fmt", riff(data), "no complete \"fmt \" chunk"},
      {"14-byte fmt", riff(chunk("fmt ", fmt16.substr(0, 14)) + data), "\"fmt \" chunk of 14 bytes"},
      {"17-byte fmt", riff(chunk("fmt ", fmt16 + "x") + data), "\"fmt \" chunk of 17 bytes"},
      {"data beyond the end", riff(beyond), "no complete \"data\" chunk"},
      {"chunk size beyond the end", riff(hugeChunk), "no complete \"data\" chunk"},
      {"cut inside a chunk header", riff(chunk("fmt ", fmt16) + "da"), "no complete \"data\" chunk"},
      {"RIFF size ends before data", "RIFF" + u32(16) + "WAVE" + chunk("fmt ", fmt16) + data,
       "no complete \"data\" chunk"},
      {"no samples", riff(chunk("fmt ", fmt16) + chunk("data", "")), "no samples"},
      {"PCM block align wrong", riff(chunk("fmt ", u16(1) + u16(1) + u32(8000) + u32(16000) + u16(4) + u16(16)) + data),
       "PCM format with 1 channels, 8000 Hz, block align 4"},
      {"PCM without channels", riff(chunk("fmt ", pcmFormat(0, 8000, 16)) + data),
       "PCM format with 0 channels, 8000 Hz, block align 0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<char> bytes(c.image.begin(), c.image.end());
    std::string problem;
    EXPECT_FALSE(decodeSound(bytes, "x.wav", problem));
    EXPECT_EQ(problem, c.reason);
  }
}

// Cut short anywhere, or with any header byte inverted, a file decodes to
// whole frames or is refused with a reason (the sanitizer build watches the
// reads).
TEST(WaveChunks, DamagedFilesAreSafe) {
  VASHEL_REQUIRE_SOX();
  TempFolder dir;
  ASSERT_TRUE(sox(dir.path(), "-n -r 8000 -c 2 -e ima-adpcm ima.wav synth 0.05 sine 300"));
  ASSERT_TRUE(sox(dir.path(), "-n -r 8000 -c 1 -e gsm-full-rate gsm.wav synth 0.05 sine 300"));
  for (const std::string& path : {dir / "ima.wav", dir / "gsm.wav", kSample + "/giggle.wavz"}) {
    SCOPED_TRACE(path);
    const std::string file = readBytes(path);
    ASSERT_GT(file.size(), 100u);
    const auto check = [](const std::vector<char>& image) {
      std::string problem;
      const auto sound = decodeSound(image, "x.wavz", problem);
      if (sound) {
        ASSERT_GT(sound->format.blockAlign(), 0);
        EXPECT_EQ(sound->data.size() % static_cast<std::size_t>(sound->format.blockAlign()), 0u);
      } else {
        EXPECT_FALSE(problem.empty());
      }
    };
    for (std::size_t length = 0; length < file.size(); length += length < 120 ? 1 : 97) {
      check(std::vector<char>(file.begin(), file.begin() + static_cast<long>(length)));
    }
    for (std::size_t at = 0; at < 100; ++at) {
      std::vector<char> image(file.begin(), file.end());
      image[at] = static_cast<char>(~image[at]);
      check(image);
    }
  }
}

// A format libsndfile does not know, or an ADPCM format without the extra
// bytes its decoder needs, is refused rather than played as noise.
TEST(WaveChunks, UnconvertibleFormats) {
  const std::string data = chunk("data", std::string(256, '\x55'));
  for (const std::string& format :
       {u16(0x1234) + u16(1) + u32(8000) + u32(8000) + u16(1) + u16(8) + u16(0),
        u16(0x11) + u16(1) + u32(8000) + u32(4000) + u16(256) + u16(4)}) {
    const std::string image = riff(chunk("fmt ", format) + data);
    const std::vector<char> bytes(image.begin(), image.end());
    std::string problem;
    EXPECT_FALSE(decodeSound(bytes, "x.wav", problem));
    EXPECT_TRUE(problem.starts_with("format 0x")) << problem;
  }
}

TEST(WaveFiles, OnlyRegularFilesWithinTheCap) {
  HostileFiles hostile;
  for (const std::string& path : hostile.notRegular()) {
    std::string problem;
    EXPECT_FALSE(loadSound(path, problem)) << path;
    EXPECT_FALSE(problem.empty());
  }
  std::string problem;
  EXPECT_FALSE(loadSound(hostile.sparse(kMaxSoundFileBytes + 1), problem));
  EXPECT_NE(problem.find("larger than"), std::string::npos) << problem;
  EXPECT_FALSE(loadSound(hostile.folder().string() + "/missing.wav", problem));
}

// The keystream over zeros: key letters interleaved with 37, 38, ..., each
// plus a counter of 16, repeating after 112 bytes.
TEST(Descramble, KeystreamAndRoundTrip) {
  std::vector<char> zeros(224, 0);
  descrambleSound(zeros, kSoundKey);
  const unsigned char first[] = {'K' + 0, 37 + 1, 'E' + 2, 38 + 3, 'S' + 4, 39 + 5, 'T' + 6, 40 + 7,
                                 'R' + 8, 41 + 9, 'A' + 10, 42 + 11, 'N' + 12, 43 + 13, 'K' + 14, 37 + 15,
                                 'E' + 0};
  for (std::size_t i = 0; i < sizeof first; ++i) EXPECT_EQ(static_cast<unsigned char>(zeros[i]), first[i]) << i;
  EXPECT_TRUE(std::equal(zeros.begin(), zeros.begin() + 112, zeros.begin() + 112));
  EXPECT_FALSE(std::equal(zeros.begin(), zeros.begin() + 56, zeros.begin() + 56));

  std::vector<char> data(1000);
  std::iota(data.begin(), data.end(), 0);
  const std::vector<char> original = data;
  descrambleSound(data, kSoundKey);
  EXPECT_NE(data, original);
  descrambleSound(data, kSoundKey);
  EXPECT_EQ(data, original);
}

// Names ending in z or Z are descrambled after the walk; the RIFF chunks are
// never scrambled. The same bytes under another name come out as they are.
TEST(Descramble, ByNameAfterConversion) {
  std::string samples;
  for (int i = 0; i < 300; ++i) samples += u16(static_cast<unsigned>(i * 100));
  std::vector<char> scrambled(samples.begin(), samples.end());
  descrambleSound(scrambled, kSoundKey);
  const std::string image = riff(chunk("fmt ", pcmFormat(1, 8000, 16)) +
                                 chunk("data", std::string(scrambled.begin(), scrambled.end())));
  const std::vector<char> bytes(image.begin(), image.end());
  for (const char* name : {"a.wavz", "A.WAVZ", "dir/x.z"}) {
    std::string problem;
    const auto sound = decodeSound(bytes, name, problem);
    ASSERT_TRUE(sound) << problem;
    EXPECT_EQ(std::string(sound->data.begin(), sound->data.end()), samples) << name;
  }
  std::string problem;
  const auto plain = decodeSound(bytes, "a.wav", problem);
  ASSERT_TRUE(plain);
  EXPECT_EQ(plain->data, scrambled);
}

// Converted data is descrambled too: a scrambled µ-law file's samples are the
// scrambled 16-bit PCM, descrambled after decoding.
TEST(Descramble, AfterConversion) {
  VASHEL_REQUIRE_SOX();
  TempFolder dir;
  ASSERT_TRUE(sox(dir.path(), "-n -r 8000 -c 1 -e mu-law ulaw.wav synth 0.1 sine 300"));
  std::string problem;
  auto plain = loadSound(dir / "ulaw.wav", problem);
  ASSERT_TRUE(plain) << problem;
  std::filesystem::copy_file(dir / "ulaw.wav", dir / "ulaw.wavz");
  const auto descrambled = loadSound(dir / "ulaw.wavz", problem);
  ASSERT_TRUE(descrambled) << problem;
  descrambleSound(plain->data, kSoundKey);
  EXPECT_EQ(descrambled->data, plain->data);
}

// The bundled scrambled sound is a smooth waveform once descrambled, and
// noise without: neighbouring samples differ less in the one than in the
// other, and only the noise is loud throughout.
TEST(Descramble, BundledSound) {
  std::string problem;
  const auto sound = loadSound(kSample + "/giggle.wavz", problem);
  ASSERT_TRUE(sound) << problem;
  const std::string image = readBytes(kSample + "/giggle.wavz");
  const std::vector<char> bytes(image.begin(), image.end());
  const auto raw = decodeSound(bytes, "giggle.wav", problem);
  ASSERT_TRUE(raw);
  const auto roughness = [](const std::vector<char>& data) {
    const auto s = samples16(data);
    double sum = 0;
    for (std::size_t i = 1; i < s.size(); ++i) sum += std::abs(s[i] - s[i - 1]);
    return sum / static_cast<double>(s.size());
  };
  EXPECT_LT(roughness(sound->data) * 3, roughness(raw->data));
  // Mostly quiet once descrambled; scrambled, nearly every sample's high byte
  // takes a key byte of at least 37, putting it beyond 9000.
  const auto loudShare = [](const std::vector<char>& data) {
    const auto s = samples16(data);
    const auto loud = std::count_if(s.begin(), s.end(), [](std::int16_t v) { return std::abs(int{v}) > 9000; });
    return static_cast<double>(loud) / static_cast<double>(s.size());
  };
  EXPECT_LT(loudShare(sound->data), 0.2);
  EXPECT_GT(loudShare(raw->data), 0.8);
}

}  // namespace
}  // namespace vashel
