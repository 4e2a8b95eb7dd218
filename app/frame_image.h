// Turns a read-back frame (bottom-up BGRA, colour already scaled by alpha)
// into what the character's window shows, and finds the pixels it covers.
#pragma once

#include <QImage>
#include <QRegion>

#include <cstdint>
#include <vector>

namespace vashel {

// Frames larger than this on either side are refused as corrupt.
inline constexpr int kMaxFrameSide = 8192;

struct Coverage;

// Copies the frame into `target` (ARGB32 premultiplied, top row first),
// reusing its memory when the size matches and it is not shared. Colour
// channels above alpha are clamped to alpha: blending draws colour × alpha
// with alpha × alpha, so translucent pixels arrive brighter than their alpha
// allows, and such values would overflow the compositor's premultiplied
// arithmetic. With `coverage`, also finds the covered pixels in the same
// pass. Returns false, leaving `target` alone, for a null buffer or a side
// outside 1..kMaxFrameSide.
bool copyFrame(const std::uint8_t* bgraBottomUp, int width, int height, QImage& target,
               Coverage* coverage = nullptr);

// The pixels with alpha > 0 as maximal runs per row. Two frames with equal
// coverage need no new window shape.
struct Coverage {
  int width = 0;
  int height = 0;
  std::vector<int> rowStart;  // row y's runs are spans[rowStart[y] .. rowStart[y+1])
  std::vector<int> spans;     // pairs: first covered x, first uncovered x

  bool empty() const { return spans.empty(); }
  bool operator==(const Coverage&) const = default;
};

// Fills `out` from an ARGB32 (premultiplied or not) image.
void findCoverage(const QImage& image, Coverage& out);

// The covered pixels as a region; rows with the same runs share one band.
QRegion coverageRegion(const Coverage& coverage);

}  // namespace vashel
