// The speech balloon without its windows: how a text is prepared, cut into
// pages and lines, measured, and placed beside the character. The windows,
// fonts and the balloon timer are reached through BalloonWindows, so tests
// measure with fixed metrics. Texts stay code page 932 bytes throughout.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vashel {

enum class BalloonFont { Normal, Bold };

struct TextExtent {
  int width = 0;
  int height = 0;  // the font's line height, also for an empty line
};

// Measures one line of code page 932 bytes in one of the balloon's fonts.
class TextMeasure {
 public:
  virtual ~TextMeasure() = default;
  virtual TextExtent extent(BalloonFont font, std::string_view cp932) = 0;
};

// One line as drawn: the top-left of its text inside the balloon, its bytes.
struct BalloonLine {
  BalloonFont font = BalloonFont::Normal;
  int x = 0;
  int y = 0;
  std::string text;
  bool operator==(const BalloonLine&) const = default;
};

// What the message window shows: its size and its lines. `page` is the page's
// text without the page marker, for whoever reports what is shown.
struct BalloonPicture {
  int width = 0;
  int height = 0;
  std::vector<BalloonLine> lines;
  std::string page;
};

// Where the two windows stand on the screen.
struct BalloonPlacement {
  int x = 0;  // message window's top-left
  int y = 0;
  int tailX = 0;  // tail window's top-left
  int tailY = 0;
  bool tailOnRight = false;  // balloon left of the character, tail at its right end
  bool operator==(const BalloonPlacement&) const = default;
};

// The desktop side of the balloon.
class BalloonWindows {
 public:
  virtual ~BalloonWindows() = default;
  virtual TextMeasure& measure() = 0;
  // Moves both windows (without showing them); the tail shows the picture
  // for its side.
  virtual void place(const BalloonPlacement& placement) = 0;
  // Sizes the message window to the picture, draws it and shows both windows.
  virtual void draw(const BalloonPicture& picture) = 0;
  virtual void hide() = 0;
  // (Re)starts the 500 ms balloon timer; it is never stopped.
  virtual void restartTimer() = 0;
};

// Plain text as the balloon shows it: the first "<br" becomes a line break,
// tags are removed, each line break is doubled, lines are broken after 128
// bytes (never inside a double-byte character) and trailing white space is
// trimmed.
std::string prepareBalloonText(std::string_view text);

// The page that starts at byte `start`: its bytes up to and including the
// backslash of the first backslash-0 marker, or to the end. Length 0 when
// `start` is at or past the end.
struct PageRange {
  std::size_t start = 0;
  std::size_t length = 0;
};
PageRange findPage(std::string_view text, std::size_t start);

// Lines of text[range] from startY: a line ends at a newline, at a backslash
// followed by '0' (the byte after the range counts), or with the range's last
// byte. Each line is measured (and appended to `drawn` when given, at x = 8,
// y + 8); lines are height + height / 4 apart.
struct TextLines {
  int widest = 0;
  int endY = 0;
};
TextLines drawTextLines(TextMeasure& measure, BalloonFont font, int startY, std::string_view text,
                        PageRange range, std::vector<BalloonLine>* drawn);

// Whether a message's link may go to the desktop's URL handler: links come
// from files and feeds off the network, so only http, https and mailto
// links (scheme in any case, after leading white space) are opened.
bool isOpenableLink(std::string_view link);

class Balloon {
 public:
  explicit Balloon(BalloonWindows& windows) : windows_(windows) {}

  // Called by layout when every page of the text has been shown: the owner
  // shows the next entry of its list or hides the balloon.
  std::function<void()> allPagesShown;
  // A popup menu of the main window is open: following the window then
  // skips the layout.
  std::function<bool()> menuOpen;

  // The main window's size and the screen's width, which decide the side.
  void setMainWindowSize(int width, int height);
  void setScreenWidth(int width) { screenWidth_ = width; }

  // A plain text (prepared as prepareBalloonText says) with an optional title
  // and link. Not drawn until layout.
  void showText(std::string_view text, std::string_view title, std::string_view link);
  // An entry of a sequence's list, shown exactly as stored.
  void showEntry(std::string_view text);
  void hide();

  // 0: measure the current page and take its size; 1: also place, draw and
  // show it, then move on to the next page. Nothing without a text.
  void layout(int mode);
  // Also keeps the main window's position for the next layout.
  void placeBeside(int mainY, int mainX);
  // The main window moved: the page on show is drawn again at the new place.
  void followMainWindow(int x, int y);

  const std::string& text() const { return text_; }
  const std::string& title() const { return title_; }
  const std::string& link() const { return link_; }
  int width() const { return width_; }
  int height() const { return height_; }
  std::size_t pageStart() const { return pageStart_; }
  // The text on show has been drawn and has a page after the one drawn.
  bool hasFurtherPage() const;
  const BalloonPlacement& placement() const { return placement_; }

 private:
  void clear();
  BalloonPicture compose(PageRange page, bool draw);

  BalloonWindows& windows_;
  std::string text_;
  std::string title_;
  std::string link_;
  int width_ = 0;
  int height_ = 0;
  std::size_t pageStart_ = 0;
  std::size_t previousPageStart_ = 0;
  bool drawn_ = false;  // the text has been drawn since it was given
  int mainX_ = 0;
  int mainY_ = 0;
  int mainWidth_ = 240;
  int mainHeight_ = 320;
  int screenWidth_ = 0;
  BalloonPlacement placement_;
};

}  // namespace vashel
