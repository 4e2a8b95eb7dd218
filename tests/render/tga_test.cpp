// The TGA reader: rejected input with its error codes, value conversions, and
// every variant ImageMagick writes decoded to the pixels ImageMagick reads.
#include "render/tga.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "hostile_files.h"

namespace vashel {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct TgaHeader {
  int idLength = 0, mapType = 0, imageType = 2, mapFirst = 0, mapLength = 0, mapBits = 0;
  int width = 1, height = 1, depth = 32, descriptor = 8;
};

Bytes header(const TgaHeader& h) {
  auto lo = [](int v) { return static_cast<std::uint8_t>(v & 0xFF); };
  auto hi = [](int v) { return static_cast<std::uint8_t>((v >> 8) & 0xFF); };
  return {lo(h.idLength),
          lo(h.mapType),
          lo(h.imageType),
          lo(h.mapFirst),
          hi(h.mapFirst),
          lo(h.mapLength),
          hi(h.mapLength),
          lo(h.mapBits),
          0,
          0,
          0,
          0,
          lo(h.width),
          hi(h.width),
          lo(h.height),
          hi(h.height),
          lo(h.depth),
          lo(h.descriptor)};
}

Bytes file(const TgaHeader& h, const Bytes& body) {
  Bytes bytes = header(h);
  for (std::uint8_t byte : body) bytes.push_back(byte);
  return bytes;
}

// Pixel i of the decoded buffer as {r, g, b, a}.
std::array<int, 4> pixel(const TgaImage& image, std::size_t i) {
  return {image.pixels[4 * i], image.pixels[4 * i + 1], image.pixels[4 * i + 2],
          image.pixels[4 * i + 3]};
}

int decodeError(const Bytes& bytes, int format = 4) {
  TgaReader reader;
  EXPECT_FALSE(reader.decode(bytes, format).has_value());
  return reader.lastError();
}

TEST(TgaErrors, EachRejectionHasItsCode) {
  EXPECT_EQ(decodeError(Bytes(10, 0)), kTgaBadHeader);
  EXPECT_EQ(decodeError(file({}, {0, 0, 0, 0}), 5), kTgaBadFormat);
  EXPECT_EQ(decodeError(file({}, {0, 0, 0, 0}), -1), kTgaBadFormat);
  EXPECT_EQ(decodeError(file({.width = 0}, {})), kTgaZeroSize);
  EXPECT_EQ(decodeError(file({.height = 0}, {})), kTgaZeroSize);
  EXPECT_EQ(decodeError(file({.idLength = 10}, {1, 2, 3})), kTgaUnexpectedEof);
  EXPECT_EQ(decodeError(file({.imageType = 0}, {})), kTgaNoData);
  EXPECT_EQ(decodeError(file({.mapType = 1, .imageType = 11, .mapBits = 24}, {})),
            kTgaColormapForGray);
  EXPECT_EQ(decodeError(file({.mapType = 1, .imageType = 3, .mapBits = 24}, {})),
            kTgaColormapForGray);
  EXPECT_EQ(decodeError(file({.mapType = 1, .imageType = 1, .mapBits = 8}, {})),
            kTgaBadColormapEntrySize);
  EXPECT_EQ(decodeError(file({.mapType = 1, .imageType = 1, .mapLength = 3, .mapBits = 24},
                             {1, 2, 3, 4, 5})),
            kTgaBadColormap);
  EXPECT_EQ(decodeError(file({.imageType = 4}, {0, 0, 0, 0})), kTgaUnknownType);

  TgaReader reader;
  EXPECT_FALSE(reader.loadTGA("/nonexistent/dir/skin.tga").has_value());
  EXPECT_EQ(reader.lastError(), kTgaCannotOpen);
}

TEST(TgaErrors, DimensionsThatTheFileCannotHoldAreRejected) {
  // 16384 x 16384 pixels announced by a file of a few bytes.
  EXPECT_EQ(
      decodeError(file({.imageType = 10, .width = 16384, .height = 16384}, {0xFF, 1, 2, 3, 4})),
      kTgaUnexpectedEof);
  EXPECT_EQ(decodeError(file({.width = 16384, .height = 16384}, {1, 2, 3, 4})), kTgaUnexpectedEof);
}

TEST(TgaErrors, NoSideBeyondTheLargestTextureIsAllocated) {
  // Run-length data enough for the pixel count: only the size refuses these.
  const Bytes runs(300, 0xFF);
  EXPECT_EQ(decodeError(file({.imageType = 10, .width = 16385, .height = 1}, runs)), kTgaTooLarge);
  EXPECT_EQ(decodeError(file({.imageType = 10, .width = 1, .height = 16385}, runs)), kTgaTooLarge);
  // 65535 x 65535 from 34 MB of runs would be 17 GB of pixels.
  EXPECT_EQ(decodeError(file({.imageType = 10, .width = 65535, .height = 65535}, runs)),
            kTgaTooLarge);
  TgaReader reader;
  const auto widest = reader.decode(file({.imageType = 10, .width = 16384, .height = 1}, runs));
  ASSERT_TRUE(widest);
  EXPECT_EQ(widest->pixels.size(), 16384u * 4);
}

TEST(TgaErrors, OnlyRegularFilesOfBoundedSizeAreRead) {
  testing::HostileFiles files;
  TgaReader reader;
  for (const std::string& path : files.notRegular()) {
    EXPECT_FALSE(reader.loadTGA(path).has_value()) << path;
    EXPECT_EQ(reader.lastError(), kTgaNotRegular) << path;
  }
  EXPECT_FALSE(reader.loadTGA(files.sparse(kTgaMaxFileBytes + 1)).has_value());
  EXPECT_EQ(reader.lastError(), kTgaFileTooLarge);
}

TEST(TgaErrors, TextsOfTheCodes) {
  const char* texts[] = {"no error",
                         "bad image header",
                         "cannot open file",
                         "bad format argument",
                         "unexpected end-of-file",
                         "image contains no data",
                         "found colormap for a grayscale image",
                         "unsupported colormap entry size",
                         "bad colormap",
                         "cannot read from file",
                         "unknown image type",
                         "image has size 0 width or height (or both)"};
  for (int code = 0; code < 12; ++code) EXPECT_STREQ(tgaErrorText(code), texts[code]);
  EXPECT_STREQ(tgaErrorText(kTgaTooLarge), "image wider or taller than 16384 pixels");
  EXPECT_STREQ(tgaErrorText(kTgaNotRegular), "not a regular file");
  EXPECT_STREQ(tgaErrorText(kTgaFileTooLarge), "file too large");
  EXPECT_STREQ(tgaErrorText(kTgaOutOfMemory), "out of memory");
  EXPECT_STREQ(tgaErrorText(16), "unknown error");
  EXPECT_STREQ(tgaErrorText(-1), "unknown error");
}

TEST(TgaValues, ColourIsPremultipliedByAlpha) {
  TgaReader reader;
  // Stored blue, green, red, alpha.
  auto image = reader.decode(file({}, {0, 0, 255, 128}));
  ASSERT_TRUE(image);
  EXPECT_EQ(pixel(*image, 0), (std::array<int, 4>{128, 0, 0, 128}));
  EXPECT_EQ(reader.lastError(), kTgaNoError);
  image = reader.decode(file({}, {255, 255, 255, 255}));
  EXPECT_EQ(pixel(*image, 0), (std::array<int, 4>{255, 255, 255, 255}));
  image = reader.decode(file({}, {40, 50, 60, 0}));
  EXPECT_EQ(pixel(*image, 0), (std::array<int, 4>{0, 0, 0, 0}));
  // Without declared alpha bits a 32-bit value is opaque.
  image = reader.decode(file({.descriptor = 0}, {10, 20, 30, 0}));
  EXPECT_EQ(pixel(*image, 0), (std::array<int, 4>{30, 20, 10, 255}));
}

TEST(TgaValues, SixteenBitValuesAreFiveBitsPerChannel) {
  TgaReader reader;
  // All bits set: the single-precision factor gives 254, not 255.
  auto image = reader.decode(file({.depth = 16, .descriptor = 1}, {0xFF, 0xFF}));
  ASSERT_TRUE(image);
  EXPECT_EQ(pixel(*image, 0), (std::array<int, 4>{254, 254, 254, 255}));
  // Without alpha bits still 5-5-5: red alone is bits 10-14.
  image = reader.decode(file({.depth = 16, .descriptor = 0}, {0x00, 0x7C}));
  EXPECT_EQ(pixel(*image, 0), (std::array<int, 4>{254, 0, 0, 255}));
  image = reader.decode(file({.depth = 15, .descriptor = 0}, {0x21, 0x04}));  // 1 in each channel
  EXPECT_EQ(pixel(*image, 0), (std::array<int, 4>{8, 8, 8, 255}));
}

TEST(TgaValues, ColourMapEntriesAreLookedUpFromTheFirstIndex) {
  TgaReader reader;
  // Entries for indices 2 and 3 (first index 2), 24-bit; pixels 3, 2, 9.
  const TgaHeader h{.mapType = 1,
                    .imageType = 1,
                    .mapFirst = 2,
                    .mapLength = 2,
                    .mapBits = 24,
                    .width = 3,
                    .depth = 8,
                    .descriptor = 0};
  auto image = reader.decode(file(h, {0, 0, 200, 0, 100, 0, 3, 2, 9}));
  ASSERT_TRUE(image);
  EXPECT_EQ(pixel(*image, 0), (std::array<int, 4>{0, 100, 0, 255}));
  EXPECT_EQ(pixel(*image, 1), (std::array<int, 4>{200, 0, 0, 255}));
  // An index beyond the map reads as the value 0, an opaque black 24-bit entry.
  EXPECT_EQ(pixel(*image, 2), (std::array<int, 4>{0, 0, 0, 255}));
}

TEST(TgaRunLength, PacketsRepeatOrCopyAndStopAtTheLastPixel) {
  TgaReader reader;
  // 3 pixels: a run of 5 (two beyond the image), then a raw packet nobody reads.
  auto image = reader.decode(file({.imageType = 10, .width = 3, .depth = 24, .descriptor = 0},
                                  {0x84, 1, 2, 3, 0x00, 9, 9, 9}));
  ASSERT_TRUE(image);
  ASSERT_EQ(image->pixels.size(), 12u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(pixel(*image, i), (std::array<int, 4>{3, 2, 1, 255}));

  // A raw packet of 2, then a run of 2.
  image = reader.decode(file({.imageType = 10, .width = 4, .depth = 24, .descriptor = 0},
                             {0x01, 1, 1, 1, 2, 2, 2, 0x81, 5, 6, 7}));
  ASSERT_TRUE(image);
  EXPECT_EQ(pixel(*image, 0), (std::array<int, 4>{1, 1, 1, 255}));
  EXPECT_EQ(pixel(*image, 1), (std::array<int, 4>{2, 2, 2, 255}));
  EXPECT_EQ(pixel(*image, 3), (std::array<int, 4>{7, 6, 5, 255}));
}

TEST(TgaRunLength, TruncatedDataReadsAsZeroValues) {
  TgaReader reader;
  auto image = reader.decode(file({.imageType = 10, .width = 20, .depth = 32}, {0x80, 1, 2, 3}));
  ASSERT_TRUE(image);
  for (int i = 0; i < 20; ++i) EXPECT_EQ(pixel(*image, i), (std::array<int, 4>{0, 0, 0, 0}));
  image = reader.decode(file({.width = 3, .depth = 24, .descriptor = 0}, {1, 2, 3, 4}));
  ASSERT_TRUE(image);
  EXPECT_EQ(pixel(*image, 0), (std::array<int, 4>{3, 2, 1, 255}));
  EXPECT_EQ(pixel(*image, 1), (std::array<int, 4>{0, 0, 0, 255}));
}

// --- Against ImageMagick ------------------------------------------------------

std::string run(const std::string& command) {
  std::string out;
  if (std::FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    if (pclose(pipe) != 0) out.clear();
  }
  return out;
}

class TgaAgainstImageMagick : public ::testing::Test {
 protected:
  void SetUp() override {
    if (run("command -v convert").empty()) GTEST_SKIP() << "ImageMagick's convert is not installed";
    dir_ = std::filesystem::temp_directory_path() / ("vashel_tga_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    // Opaque and half-transparent colours, a transparent pixel, and a 7 x 5
    // size so that rows and columns differ.
    source_ = (dir_ / "source.png").string();
    const std::string made = run(
        "convert -size 7x5 xc:'rgb(30,60,90)' -fill 'rgba(250,10,20,0.5)' -draw 'point 0,0' "
        "-fill 'rgb(0,200,100)' -draw 'point 6,0' -fill 'rgb(255,255,255)' -draw 'point 0,4' "
        "-fill 'rgba(0,0,0,0)' -draw 'color 3,2 point' -fill 'rgb(7,77,177)' -draw 'line 1,1 5,1' "
        "PNG32:" +
        source_ + " && echo ok");
    ASSERT_EQ(made, "ok\n");
  }
  void TearDown() override {
    if (!dir_.empty()) std::filesystem::remove_all(dir_);
  }

  // Writes the source as a TGA with the given options; returns its path.
  std::string write(const std::string& options, const std::string& name) {
    const std::string path = (dir_ / name).string();
    EXPECT_EQ(run("convert " + source_ + " " + options + " " + path + " && echo ok"), "ok\n");
    return path;
  }

  // What ImageMagick reads from the file: RGBA, top row first. ImageMagick
  // keeps a TGA's origin as a note beside unmoved rows (and writes rows the
  // same way whatever origin it declares); -auto-orient applies the note.
  std::vector<std::uint8_t> imageMagickPixels(const std::string& path) {
    const std::string out = run("convert " + path + " -auto-orient -depth 8 rgba:-");
    return {out.begin(), out.end()};
  }

  std::filesystem::path dir_;
  std::string source_;
};

// What the reader should store for a pixel ImageMagick reads as (r, g, b, a).
using Expectation = std::array<int, 4> (*)(const std::uint8_t* rgba);

void compare(const std::string& path, const std::vector<std::uint8_t>& reference,
             Expectation expectation) {
  TgaReader reader;
  auto image = reader.loadTGA(path);
  ASSERT_TRUE(image) << path << ": " << tgaErrorText(reader.lastError());
  ASSERT_EQ(image->width, 7);
  ASSERT_EQ(image->height, 5);
  ASSERT_EQ(reference.size(), 7u * 5u * 4u) << path;
  for (int y = 0; y < 5; ++y) {
    for (int x = 0; x < 7; ++x) {
      const std::size_t ours = static_cast<std::size_t>((4 - y) * 7 + x);  // bottom row first
      EXPECT_EQ(pixel(*image, ours), expectation(&reference[(y * 7 + x) * 4]))
          << path << " at " << x << "," << y;
    }
  }
}

// Premultiplied with the reader's single-precision factor.
std::array<int, 4> premultipliedRgba(const std::uint8_t* p) {
  auto scale = [a = p[3] * 0.003921569f](int c) {
    return static_cast<int>(a * (c * 0.003921569f) * 255.0f);
  };
  return {scale(p[0]), scale(p[1]), scale(p[2]), p[3]};
}

// ImageMagick widens 5 bits by 255/31 with rounding; the reader by 8.2258f.
std::array<int, 4> fiveBitRgba(const std::uint8_t* p) {
  auto channel = [](int c8) {
    const int c5 = (c8 * 31 + 127) / 255;
    return static_cast<int>(static_cast<float>(c5) * 8.2258f);
  };
  return {channel(p[0]), channel(p[1]), channel(p[2]), 255};
}

TEST_F(TgaAgainstImageMagick, EveryVariantDecodesToThePixelsImageMagickReads) {
  const struct {
    const char* options;
    const char* name;
    Expectation expectation;
  } variants[] = {
      {"", "plain32.tga", premultipliedRgba},
      {"-compress RLE", "rle32.tga", premultipliedRgba},
      {"-alpha off -type TrueColor", "plain24.tga", premultipliedRgba},
      {"-alpha off -type TrueColor -compress RLE", "rle24.tga", premultipliedRgba},
      {"-orient TopLeft", "topleft.tga", premultipliedRgba},
      {"-orient TopRight", "topright.tga", premultipliedRgba},
      {"-orient BottomRight", "bottomright.tga", premultipliedRgba},
      {"-orient TopLeft -compress RLE", "topleft_rle.tga", premultipliedRgba},
      {"-type Palette", "mapped.tga", premultipliedRgba},
      {"-type Palette -compress RLE", "mapped_rle.tga", premultipliedRgba},
      {"-type Grayscale", "grey.tga", premultipliedRgba},
      {"-type Grayscale -compress RLE", "grey_rle.tga", premultipliedRgba},
      {"-alpha off -depth 5", "sixteen.tga", fiveBitRgba},
      {"-alpha off -depth 5 -compress RLE", "sixteen_rle.tga", fiveBitRgba},
  };
  for (const auto& variant : variants) {
    const std::string path = write(variant.options, variant.name);
    compare(path, imageMagickPixels(path), variant.expectation);
  }
}

}  // namespace
}  // namespace vashel
