// Frame copy, coverage runs and the window shape built from them.
#include "app/frame_image.h"

#include <QRect>

#include <algorithm>
#include <bit>
#include <cstring>

namespace vashel {

// QImage's 32-bit formats are native-endian words 0xAARRGGBB; only on a
// little-endian machine are their bytes the B, G, R, A order of the frame.
static_assert(std::endian::native == std::endian::little,
              "frame bytes are copied as little-endian ARGB32 words");

namespace {

// Four pixels at a time: each colour byte becomes min(colour, its alpha).
using Bytes16 = std::uint8_t __attribute__((vector_size(16)));

void clampRow(const std::uint8_t* src, std::uint8_t* dst, std::size_t pixels) {
  std::size_t x = 0;
  for (; x + 4 <= pixels; x += 4) {
    Bytes16 p;
    std::memcpy(&p, src + 4 * x, sizeof p);
    const Bytes16 alpha =
        __builtin_shuffle(p, Bytes16{3, 3, 3, 3, 7, 7, 7, 7, 11, 11, 11, 11, 15, 15, 15, 15});
    const Bytes16 clamped = p < alpha ? p : alpha;
    std::memcpy(dst + 4 * x, &clamped, sizeof clamped);
  }
  for (; x < pixels; ++x) {
    const std::uint8_t a = src[4 * x + 3];
    for (int c = 0; c < 3; ++c) dst[4 * x + c] = std::min(src[4 * x + c], a);
    dst[4 * x + 3] = a;
  }
}

// The alpha bytes of four pixels as one word, the first pixel's lowest.
inline std::uint32_t fourAlphas(const std::uint8_t* pixels) {
  std::uint64_t low, high;
  std::memcpy(&low, pixels, 8);
  std::memcpy(&high, pixels + 8, 8);
  return static_cast<std::uint32_t>(((low >> 24) & 0xFF) | ((low >> 48) & 0xFF00) |
                                    ((high >> 8) & 0xFF0000) | ((high >> 32) & 0xFF000000));
}

inline bool anyZeroByte(std::uint32_t v) { return ((v - 0x01010101u) & ~v & 0x80808080u) != 0; }

// Appends the row's runs of pixels with alpha > 0. Most of a row lies inside
// a long run or outside all, so four pixels whose alphas all agree with the
// current side are stepped over at once.
void appendRuns(const std::uint8_t* row, int width, std::vector<int>& spans) {
  bool covered = false;
  int x = 0;
  while (x < width) {
    if (x + 4 <= width) {
      const std::uint32_t alphas = fourAlphas(row + 4 * static_cast<std::size_t>(x));
      if (covered ? !anyZeroByte(alphas) : alphas == 0) {
        x += 4;
        continue;
      }
    }
    if ((row[4 * static_cast<std::size_t>(x) + 3] != 0) != covered) {
      covered = !covered;
      spans.push_back(x);
    }
    ++x;
  }
  if (covered) spans.push_back(width);
}

}  // namespace

bool copyFrame(const std::uint8_t* bgraBottomUp, int width, int height, QImage& target,
               Coverage* coverage) {
  if (bgraBottomUp == nullptr || width < 1 || height < 1 || width > kMaxFrameSide ||
      height > kMaxFrameSide) {
    return false;
  }
  if (target.width() != width || target.height() != height ||
      target.format() != QImage::Format_ARGB32_Premultiplied) {
    target = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
    if (target.isNull()) return false;  // out of memory
  }
  if (coverage) {
    coverage->width = width;
    coverage->height = height;
    coverage->rowStart.clear();
    coverage->spans.clear();
  }
  const std::size_t rowBytes = static_cast<std::size_t>(width) * 4;
  for (int y = 0; y < height; ++y) {
    const std::uint8_t* src = bgraBottomUp + static_cast<std::size_t>(height - 1 - y) * rowBytes;
    std::uint8_t* dst = target.scanLine(y);
    clampRow(src, dst, static_cast<std::size_t>(width));
    if (!coverage) continue;
    coverage->rowStart.push_back(static_cast<int>(coverage->spans.size()));
    appendRuns(dst, width, coverage->spans);
  }
  if (coverage) coverage->rowStart.push_back(static_cast<int>(coverage->spans.size()));
  return true;
}

void findCoverage(const QImage& image, Coverage& out) {
  out.width = image.width();
  out.height = image.height();
  out.rowStart.clear();
  out.spans.clear();
  const bool hasAlpha = image.format() == QImage::Format_ARGB32_Premultiplied ||
                        image.format() == QImage::Format_ARGB32;
  for (int y = 0; y < out.height; ++y) {
    out.rowStart.push_back(static_cast<int>(out.spans.size()));
    if (!hasAlpha) {  // an opaque image covers everything
      out.spans.push_back(0);
      out.spans.push_back(out.width);
      continue;
    }
    const std::uint8_t* p = image.constScanLine(y);
    int x = 0;
    while (x < out.width) {
      while (x < out.width && p[x * 4 + 3] == 0) ++x;
      if (x == out.width) break;
      const int start = x;
      while (x < out.width && p[x * 4 + 3] != 0) ++x;
      out.spans.push_back(start);
      out.spans.push_back(x);
    }
  }
  out.rowStart.push_back(static_cast<int>(out.spans.size()));
}

namespace {

bool sameRuns(const Coverage& c, int rowA, int rowB) {
  const int a0 = c.rowStart[rowA], a1 = c.rowStart[rowA + 1];
  const int b0 = c.rowStart[rowB], b1 = c.rowStart[rowB + 1];
  return a1 - a0 == b1 - b0 && std::equal(c.spans.begin() + a0, c.spans.begin() + a1,
                                          c.spans.begin() + b0);
}

}  // namespace

QRegion coverageRegion(const Coverage& coverage) {
  if (coverage.empty()) return {};
  // Bands of equal rows, runs left to right, none touching: the sorted,
  // non-overlapping rectangle list that QRegion::setRects takes as it is.
  std::vector<QRect> rects;
  int y = 0;
  while (y < coverage.height) {
    int end = y + 1;
    while (end < coverage.height && sameRuns(coverage, y, end)) ++end;
    for (int i = coverage.rowStart[y]; i < coverage.rowStart[y + 1]; i += 2) {
      const int x0 = coverage.spans[i];
      const int x1 = coverage.spans[i + 1];
      rects.emplace_back(x0, y, x1 - x0, end - y);
    }
    y = end;
  }
  QRegion region;
  region.setRects(rects.data(), static_cast<int>(rects.size()));
  return region;
}

}  // namespace vashel
