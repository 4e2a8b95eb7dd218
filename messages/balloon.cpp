// The balloon's text rules, pages, size and place.
#include "messages/balloon.h"

#include <algorithm>
#include <cctype>

#include "platform/codepage.h"

namespace vashel {
namespace {

constexpr int kWrapBytes = 128;
constexpr int kTextInset = 8;     // text origin from the left and below each line's y
constexpr int kTitleGap = 10;     // between the title and the text
constexpr int kWidthMargin = 16;  // added to the widest line
constexpr int kHeightMargin = 8;  // added below the text
constexpr int kTailSide = 32;

bool isPageMarker(std::string_view text, std::size_t at) {
  return text[at] == '\\' && at + 1 < text.size() && text[at + 1] == '0';
}

}  // namespace

std::string prepareBalloonText(std::string_view text) {
  std::string copy(text);
  if (const std::size_t br = copy.find("<br"); br != std::string::npos) {
    copy[br] = '\n';
    copy[br + 1] = '<';
    copy[br + 2] = ' ';
  }

  std::string out;
  out.reserve(copy.size() + copy.size() / kWrapBytes + 8);
  int left = kWrapBytes;
  bool inTag = false;
  for (const char c : copy) {
    if (inTag) {
      inTag = c != '>';
      continue;
    }
    if (c == '<') {
      inTag = true;
      continue;
    }
    out += c;
    --left;
    // A break only after a byte that cannot start a double-byte character,
    // so a character is never cut between its two bytes.
    if (!isShiftJisLeadByte(static_cast<unsigned char>(c)) && (c == '\n' || left < 1)) {
      out += '\n';
      left = kWrapBytes;
    }
  }
  while (!out.empty() && std::string_view("\n\r\t ").find(out.back()) != std::string_view::npos) {
    out.pop_back();
  }
  return out;
}

PageRange findPage(std::string_view text, std::size_t start) {
  if (start >= text.size()) return {start, 0};
  std::size_t end = start;
  while (end < text.size()) {
    const bool marker = isPageMarker(text, end);
    ++end;
    if (marker) break;
  }
  return {start, end - start};
}

TextLines drawTextLines(TextMeasure& measure, BalloonFont font, int startY, std::string_view text,
                        PageRange range, std::vector<BalloonLine>* drawn) {
  TextLines result{0, startY};
  const std::size_t end = std::min(text.size(), range.start + range.length);
  std::size_t lineStart = range.start;
  for (std::size_t i = range.start; i < end; ++i) {
    std::size_t lineEnd;  // one past the line's last byte
    if (text[i] == '\n' || isPageMarker(text, i)) {
      lineEnd = i;
    } else if (i + 1 == end) {
      lineEnd = end;
    } else {
      continue;
    }
    const std::string_view line = text.substr(lineStart, lineEnd - lineStart);
    const TextExtent size = measure.extent(font, line);
    result.widest = std::max(result.widest, size.width);
    if (drawn != nullptr) {
      drawn->push_back({font, kTextInset, result.endY + kTextInset, std::string(line)});
    }
    result.endY += size.height + size.height / 4;
    lineStart = i + 1;
  }
  return result;
}

bool isOpenableLink(std::string_view link) {
  const std::size_t start = link.find_first_not_of(" \t\r\n");
  if (start == std::string_view::npos) return false;
  const std::size_t colon = link.find(':', start);
  if (colon == std::string_view::npos) return false;
  std::string scheme(link.substr(start, colon - start));
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return scheme == "http" || scheme == "https" || scheme == "mailto";
}

void Balloon::setMainWindowSize(int width, int height) {
  mainWidth_ = width;
  mainHeight_ = height;
}

void Balloon::clear() {
  text_.clear();
  title_.clear();
  link_.clear();
  pageStart_ = 0;
  previousPageStart_ = 0;
  drawn_ = false;
}

void Balloon::showText(std::string_view text, std::string_view title, std::string_view link) {
  clear();
  text_ = prepareBalloonText(text);
  title_ = title;
  link_ = link;
  windows_.restartTimer();
}

void Balloon::showEntry(std::string_view text) {
  clear();
  text_ = text;
  windows_.restartTimer();
}

void Balloon::hide() {
  clear();
  windows_.hide();
}

BalloonPicture Balloon::compose(PageRange page, bool draw) {
  BalloonPicture picture;
  std::vector<BalloonLine>* drawn = draw ? &picture.lines : nullptr;
  TextMeasure& measure = windows_.measure();
  int titleBlock = 0;
  int titleWidest = 0;
  if (!title_.empty()) {
    const TextLines lines =
        drawTextLines(measure, BalloonFont::Bold, 0, title_, {0, title_.size()}, drawn);
    titleBlock = lines.endY + kTitleGap;
    titleWidest = lines.widest;
  }
  const TextLines lines = drawTextLines(measure, BalloonFont::Normal, titleBlock, text_, page, drawn);
  picture.width = std::max(titleWidest, lines.widest) + kWidthMargin;
  // The text's end already lies below the title, so a titled balloon keeps
  // the title's height again as room below its text.
  picture.height = lines.endY + titleBlock + kHeightMargin;
  picture.page = text_.substr(page.start, page.length);
  if (!picture.page.empty() && isPageMarker(text_, page.start + page.length - 1)) {
    picture.page.pop_back();
  }
  return picture;
}

void Balloon::layout(int mode) {
  if (text_.empty()) return;
  const PageRange page = findPage(text_, pageStart_);
  if (page.length == 0) {
    if (allPagesShown) allPagesShown();
    return;
  }
  // Measured before drawing, so that the rounded body always fits the page
  // it holds, also when the page changed without a measurement.
  BalloonPicture picture = compose(page, mode == 1);
  width_ = picture.width;
  height_ = picture.height;
  if (mode != 1) return;
  placeBeside(mainY_, mainX_);
  previousPageStart_ = pageStart_;
  pageStart_ += page.length + 1;  // past the marker's two bytes
  drawn_ = true;
  windows_.draw(picture);
}

bool Balloon::hasFurtherPage() const { return drawn_ && findPage(text_, pageStart_).length > 0; }

void Balloon::placeBeside(int mainY, int mainX) {
  mainX_ = mainX;
  mainY_ = mainY;
  BalloonPlacement p;
  // The factors are single-precision constants widened to double, as the
  // balloon has always placed itself: x + 167 for a 240-pixel character.
  if (mainX < (screenWidth_ - mainWidth_) / 2) {
    p.tailOnRight = false;
    p.x = static_cast<int>(mainWidth_ * static_cast<double>(0.7f) + mainX);
    p.tailX = p.x;
  } else {
    p.tailOnRight = true;
    p.x = static_cast<int>(mainX - (width_ - mainWidth_ * static_cast<double>(0.3f)));
    p.tailX = width_ + p.x - kTailSide;
  }
  p.y = std::max(1, mainY + mainHeight_ / 8 - height_);
  // One pixel up, over the balloon's bottom border.
  p.tailY = height_ + p.y - 1;
  placement_ = p;
  windows_.place(p);
}

void Balloon::followMainWindow(int x, int y) {
  mainX_ = x;
  mainY_ = y;
  pageStart_ = previousPageStart_;
  if (!(menuOpen && menuOpen())) layout(1);
  placeBeside(mainY_, mainX_);
}

}  // namespace vashel
