// TGA decoding: header, colour map, raw or run-length values, conversion to
// 32 bits, premultiplication and placement by the orientation bits.
#include "render/tga.h"

#include <new>

#include "platform/regular_file.h"

namespace vashel {

const char* tgaErrorText(int code) {
  switch (code) {
    case kTgaNoError:
      return "no error";
    case kTgaBadHeader:
      return "bad image header";
    case kTgaCannotOpen:
      return "cannot open file";
    case kTgaBadFormat:
      return "bad format argument";
    case kTgaUnexpectedEof:
      return "unexpected end-of-file";
    case kTgaNoData:
      return "image contains no data";
    case kTgaColormapForGray:
      return "found colormap for a grayscale image";
    case kTgaBadColormapEntrySize:
      return "unsupported colormap entry size";
    case kTgaBadColormap:
      return "bad colormap";
    case kTgaCannotRead:
      return "cannot read from file";
    case kTgaUnknownType:
      return "unknown image type";
    case kTgaZeroSize:
      return "image has size 0 width or height (or both)";
    case kTgaTooLarge:
      return "image wider or taller than 16384 pixels";
    case kTgaNotRegular:
      return "not a regular file";
    case kTgaFileTooLarge:
      return "file too large";
    case kTgaOutOfMemory:
      return "out of memory";
    default:
      return "unknown error";
  }
}

namespace {

// A byte cursor whose reads fail at the end, like reads from a file.
class ByteSource {
 public:
  explicit ByteSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  bool read(std::uint8_t& out) {
    if (pos_ >= bytes_.size()) return false;
    out = bytes_[pos_++];
    return true;
  }
  bool skip(std::size_t count) {
    if (count > bytes_.size() - pos_) {
      pos_ = bytes_.size();
      return false;
    }
    pos_ += count;
    return true;
  }
  std::size_t remaining() const { return bytes_.size() - pos_; }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t pos_ = 0;
};

struct Header {
  int idLength = 0;
  int colorMapType = 0;
  int imageType = 0;
  int mapFirst = 0;
  int mapLength = 0;
  int mapEntryBits = 0;
  int width = 0;
  int height = 0;
  int depth = 0;
  int descriptor = 0;

  int alphaBits() const { return descriptor & 0x0F; }
  bool rightToLeft() const { return (descriptor & 0x10) != 0; }
  bool topToBottom() const { return (descriptor & 0x20) != 0; }
  bool grayscale() const { return imageType == 3 || imageType == 11; }
};

Header parseHeader(const std::uint8_t* h) {
  auto word = [h](int at) { return h[at] | (h[at + 1] << 8); };
  Header header;
  header.idLength = h[0];
  header.colorMapType = h[1];
  header.imageType = h[2];
  header.mapFirst = word(3);
  header.mapLength = word(5);
  header.mapEntryBits = h[7];
  header.width = word(12);
  header.height = word(14);
  header.depth = h[16];
  header.descriptor = h[17];
  return header;
}

// Reads `count` bytes little-endian; a failed read leaves the value 0. Bytes
// beyond the fourth do not fit a 32-bit value and are dropped.
std::uint32_t readLittleEndian(ByteSource& source, int count) {
  std::uint32_t value = 0;
  for (int i = 0; i < count; ++i) {
    std::uint8_t byte = 0;
    if (!source.read(byte)) return 0;
    if (i < 4) value |= static_cast<std::uint32_t>(byte) << (8 * i);
  }
  return value;
}

// Single-precision factors, so that the largest 5-bit or 6-bit channel value
// converts to 254.
constexpr float kFiveBitScale = 8.2258f;
constexpr float kByteScale = 0.003921569f;

std::uint32_t fiveBits(std::uint32_t value, int shift) {
  return static_cast<std::uint32_t>(static_cast<float>((value >> shift) & 0x1F) * kFiveBitScale);
}

// A value of `bits` width as blue in bits 0-7, green 8-15, red 16-23, alpha 24-31.
std::uint32_t toArgb(std::uint32_t v, int bits, const Header& header) {
  switch (bits) {
    case 15:
    case 16:
      // Always 5-5-5: TGA has no other 16-bit layout. The attribute bit is
      // not taken as alpha; many writers leave it clear on opaque pixels.
      return 0xFF000000u | (fiveBits(v, 10) << 16) | (fiveBits(v, 5) << 8) | fiveBits(v, 0);
    case 24:
      return v | 0xFF000000u;
    case 32:
      return header.alphaBits() != 0 ? v : (v | 0xFF000000u);
    case 8:
      if (header.grayscale() && header.colorMapType == 0) {
        const std::uint32_t g = v & 0xFF;
        return 0xFF000000u | (g << 16) | (g << 8) | g;
      }
      return v;
    default:
      return v;
  }
}

// Premultiplies and stores as red, green, blue, alpha bytes.
void storePremultiplied(std::uint32_t argb, std::uint8_t* out) {
  const float alpha = static_cast<float>(argb >> 24);
  const float a = alpha * kByteScale;
  auto scale = [a](std::uint32_t c) {
    return static_cast<std::uint8_t>(a * (static_cast<float>(c) * kByteScale) * 255.0f);
  };
  out[0] = scale((argb >> 16) & 0xFF);
  out[1] = scale((argb >> 8) & 0xFF);
  out[2] = scale(argb & 0xFF);
  out[3] = static_cast<std::uint8_t>(argb >> 24);
}

}  // namespace

std::optional<TgaImage> TgaReader::loadTGA(const std::string& path, int format) {
  if (format < 0 || format > 4) {
    lastError_ = kTgaBadFormat;
    return std::nullopt;
  }
  std::vector<char> bytes;
  switch (readRegularFile(path, kTgaMaxFileBytes, bytes)) {
    case FileStatus::Ok:
      break;
    case FileStatus::CannotOpen:
      lastError_ = kTgaCannotOpen;
      return std::nullopt;
    case FileStatus::NotRegular:
      lastError_ = kTgaNotRegular;
      return std::nullopt;
    case FileStatus::TooLarge:
      lastError_ = kTgaFileTooLarge;
      return std::nullopt;
    case FileStatus::ReadFailed:
      lastError_ = kTgaCannotRead;
      return std::nullopt;
    case FileStatus::OutOfMemory:
      lastError_ = kTgaOutOfMemory;
      return std::nullopt;
  }
  return decode(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                format);
}

std::optional<TgaImage> TgaReader::decode(std::span<const std::uint8_t> file, int format) {
  auto fail = [this](int code) -> std::optional<TgaImage> {
    lastError_ = code;
    return std::nullopt;
  };
  if (format < 0 || format > 4) return fail(kTgaBadFormat);
  try {
    return decodeImage(file);
  } catch (const std::bad_alloc&) {
    return fail(kTgaOutOfMemory);
  }
}

std::optional<TgaImage> TgaReader::decodeImage(std::span<const std::uint8_t> file) {
  auto fail = [this](int code) -> std::optional<TgaImage> {
    lastError_ = code;
    return std::nullopt;
  };
  ByteSource source(file);
  std::uint8_t raw[18];
  for (std::uint8_t& byte : raw) {
    if (!source.read(byte)) return fail(kTgaBadHeader);
  }
  const Header header = parseHeader(raw);
  const std::size_t pixelCount =
      static_cast<std::size_t>(header.width) * static_cast<std::size_t>(header.height);
  if (pixelCount == 0) return fail(kTgaZeroSize);
  if (header.width > kTgaMaxDimension || header.height > kTgaMaxDimension) {
    return fail(kTgaTooLarge);
  }
  if (!source.skip(header.idLength)) return fail(kTgaUnexpectedEof);
  if (header.imageType == 0) return fail(kTgaNoData);

  // The colour map holds entries mapFirst .. mapFirst + mapLength - 1 of the
  // image's index space, stored as read.
  std::vector<std::uint32_t> colorMap;
  if (header.colorMapType != 0) {
    if (header.grayscale()) return fail(kTgaColormapForGray);
    const int bits = header.mapEntryBits;
    if (bits != 15 && bits != 16 && bits != 24 && bits != 32) return fail(kTgaBadColormapEntrySize);
    const int entryBytes = (bits + 7) / 8;
    colorMap.resize(header.mapLength);
    for (std::uint32_t& entry : colorMap) {
      entry = 0;
      for (int i = 0; i < entryBytes; ++i) {
        std::uint8_t byte = 0;
        if (!source.read(byte)) return fail(kTgaBadColormap);
        entry |= static_cast<std::uint32_t>(byte) << (8 * i);
      }
    }
  }

  const int valueBytes = header.depth == 0 ? 1 : (header.depth + 7) / 8;
  const int conversionBits = header.colorMapType != 0 ? header.mapEntryBits : header.depth;
  const bool runLength = header.imageType >= 9 && header.imageType <= 11;
  if (!(header.imageType >= 1 && header.imageType <= 3) && !runLength) {
    return fail(kTgaUnknownType);
  }
  // A run-length packet of at least two bytes stands for at most 128 pixels;
  // dimensions beyond that bound cannot come from this file.
  if (pixelCount / 128 > source.remaining()) return fail(kTgaUnexpectedEof);

  auto readValue = [&]() -> std::uint32_t {
    std::uint32_t value = readLittleEndian(source, valueBytes);
    if (valueBytes == 2 && (value & 0x8000u)) value |= 0xFFFF0000u;  // sign-extended
    if (header.colorMapType == 0) return value;
    const auto index =
        static_cast<std::int64_t>(static_cast<std::int32_t>(value)) - header.mapFirst;
    if (index < 0 || index >= static_cast<std::int64_t>(colorMap.size())) return 0;
    return colorMap[static_cast<std::size_t>(index)];
  };

  TgaImage image;
  image.width = header.width;
  image.height = header.height;
  image.pixels.assign(pixelCount * 4, 0);
  const std::size_t w = static_cast<std::size_t>(header.width);
  const std::size_t h = static_cast<std::size_t>(header.height);
  std::size_t stored = 0;
  auto place = [&](std::uint32_t value) {
    const std::size_t column = stored % w;
    const std::size_t x = header.rightToLeft() ? w - 1 - column : column;
    const std::size_t row = header.topToBottom() ? h - 1 - stored / w : stored / w;
    storePremultiplied(toArgb(value, conversionBits, header), &image.pixels[(row * w + x) * 4]);
    ++stored;
  };

  if (!runLength) {
    while (stored < pixelCount) place(readValue());
  } else {
    while (stored < pixelCount) {
      std::uint8_t packet = 1;
      if (!source.read(packet)) packet = 1;
      const int count = (packet & 0x7F) + 1;
      if (packet & 0x80) {
        const std::uint32_t value = readValue();
        for (int i = 0; i < count && stored < pixelCount; ++i) place(value);
      } else {
        for (int i = 0; i < count; ++i) {
          const std::uint32_t value = readValue();
          if (stored < pixelCount) place(value);
        }
      }
    }
  }
  lastError_ = kTgaNoError;
  return image;
}

}  // namespace vashel
