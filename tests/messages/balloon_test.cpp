// The balloon's text rules, pages, size and place, measured with fixed
// metrics: 6 pixels a byte and 12 high in the normal font, 8 and 15 in bold.
#include "messages/balloon.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vashel {
namespace {

class FixedWindows final : public BalloonWindows, public TextMeasure {
 public:
  TextMeasure& measure() override { return *this; }
  TextExtent extent(BalloonFont font, std::string_view line) override {
    const bool bold = font == BalloonFont::Bold;
    measured.emplace_back(line);
    return {static_cast<int>(line.size()) * (bold ? 8 : 6), bold ? 15 : 12};
  }
  void place(const BalloonPlacement& placement) override { places.push_back(placement); }
  void draw(const BalloonPicture& picture) override { pictures.push_back(picture); }
  void hide() override { ++hides; }
  void restartTimer() override { ++timerStarts; }

  std::vector<std::string> measured;
  std::vector<BalloonPlacement> places;
  std::vector<BalloonPicture> pictures;
  int hides = 0;
  int timerStarts = 0;
};

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    lines.push_back(text.substr(start, end - start));
  }
  lines.push_back(text.substr(start));
  return lines;
}

TEST(BalloonText, TagsBreaksAndTrimming) {
  EXPECT_EQ(prepareBalloonText("a<b>bold</b>c"), "aboldc");
  // Only the first "<br" (lower case) breaks the line, and like every line
  // break it is doubled; the second is just a tag.
  EXPECT_EQ(prepareBalloonText("x<br>y<br>z"), "x\n\nyz");
  EXPECT_EQ(prepareBalloonText("x<BR>y"), "xy");
  EXPECT_EQ(prepareBalloonText("one\ntwo"), "one\n\ntwo");
  EXPECT_EQ(prepareBalloonText("end \t\r\n \n"), "end");
  EXPECT_EQ(prepareBalloonText(" \n\t "), "");
  EXPECT_EQ(prepareBalloonText("open <tag without end"), "open");
}

TEST(BalloonText, LongLinesBreakAfter128BytesBetweenCharacters) {
  const std::vector<std::string> plain = linesOf(prepareBalloonText(std::string(300, 'a')));
  ASSERT_EQ(plain.size(), 3u);
  EXPECT_EQ(plain[0].size(), 128u);
  EXPECT_EQ(plain[1].size(), 128u);
  EXPECT_EQ(plain[2].size(), 44u);

  // あ (82 A0) whose first byte is the 128th: the break waits for its second.
  const std::string wide = std::string(127, 'a') + "\x82\xa0" + "bc";
  const std::vector<std::string> lines = linesOf(prepareBalloonText(wide));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], std::string(127, 'a') + "\x82\xa0");
  EXPECT_EQ(lines[1], "bc");

  // A line break of the text starts the count again.
  const std::vector<std::string> counted =
      linesOf(prepareBalloonText(std::string(100, 'a') + "\n" + std::string(100, 'b')));
  ASSERT_EQ(counted.size(), 3u);
  EXPECT_EQ(counted[2].size(), 100u);
}

TEST(BalloonPages, EachLayoutDrawsTheNextPageThenTheListMovesOn) {
  FixedWindows windows;
  Balloon balloon(windows);
  int listSteps = 0;
  balloon.allPagesShown = [&] { ++listSteps; };
  balloon.showEntry("ab\\0cd\nef");
  EXPECT_EQ(windows.timerStarts, 1);

  balloon.layout(0);  // measures without drawing or moving on
  EXPECT_TRUE(windows.pictures.empty());
  EXPECT_EQ(balloon.pageStart(), 0u);
  EXPECT_EQ(balloon.width(), 2 * 6 + 16);

  balloon.layout(1);
  ASSERT_EQ(windows.pictures.size(), 1u);
  EXPECT_EQ(windows.pictures[0].page, "ab");
  EXPECT_EQ(windows.pictures[0].lines, (std::vector<BalloonLine>{{BalloonFont::Normal, 8, 8, "ab"}}));
  EXPECT_EQ(balloon.pageStart(), 4u);  // past the backslash and the 0
  EXPECT_TRUE(balloon.hasFurtherPage());

  balloon.layout(1);
  ASSERT_EQ(windows.pictures.size(), 2u);
  // The last line keeps its last byte; the newline is not drawn.
  EXPECT_EQ(windows.pictures[1].lines,
            (std::vector<BalloonLine>{{BalloonFont::Normal, 8, 8, "cd"},
                                      {BalloonFont::Normal, 8, 8 + 15, "ef"}}));
  EXPECT_FALSE(balloon.hasFurtherPage());
  EXPECT_EQ(listSteps, 0);

  balloon.layout(1);  // every page shown: the owner takes over
  EXPECT_EQ(listSteps, 1);
  EXPECT_EQ(windows.pictures.size(), 2u);
}

TEST(BalloonPages, SizeFromTheWidestLineAndTheTitle) {
  FixedWindows windows;
  Balloon balloon(windows);
  balloon.showText("short\nmuch longer", "Title", "http://example.com/");
  EXPECT_EQ(balloon.text(), "short\n\nmuch longer");
  EXPECT_EQ(balloon.link(), "http://example.com/");
  balloon.layout(1);
  ASSERT_EQ(windows.pictures.size(), 1u);
  const BalloonPicture& picture = windows.pictures[0];
  // Title: one bold line, 15 + 3, then the 10-pixel gap.
  const int titleBlock = 15 + 3 + 10;
  ASSERT_EQ(picture.lines.size(), 4u);
  EXPECT_EQ(picture.lines[0], (BalloonLine{BalloonFont::Bold, 8, 8, "Title"}));
  EXPECT_EQ(picture.lines[1], (BalloonLine{BalloonFont::Normal, 8, titleBlock + 8, "short"}));
  EXPECT_EQ(picture.lines[2].text, "");
  EXPECT_EQ(picture.lines[3].y, titleBlock + 2 * 15 + 8);
  EXPECT_EQ(picture.width, 11 * 6 + 16);
  // The text's end lies below the title already, and the title counts again.
  EXPECT_EQ(picture.height, (titleBlock + 3 * 15) + titleBlock + 8);

  // A wide title decides the width.
  balloon.showText("x", "A rather long title", "");
  balloon.layout(0);
  EXPECT_EQ(balloon.width(), 19 * 8 + 16);
}

TEST(BalloonPages, NothingToShow) {
  FixedWindows windows;
  Balloon balloon(windows);
  int listSteps = 0;
  balloon.allPagesShown = [&] { ++listSteps; };
  balloon.showText(" \n ", "", "");
  balloon.layout(0);
  balloon.layout(1);
  EXPECT_TRUE(windows.measured.empty());
  EXPECT_TRUE(windows.pictures.empty());
  EXPECT_EQ(listSteps, 0);

  balloon.showEntry("page\\0");  // a marker at the end makes no empty page
  balloon.layout(1);
  balloon.layout(1);
  EXPECT_EQ(windows.pictures.size(), 1u);
  EXPECT_EQ(listSteps, 1);

  balloon.hide();
  EXPECT_EQ(windows.hides, 1);
  EXPECT_EQ(balloon.text(), "");
}

TEST(BalloonLinks, OnlyWebAndMailLinksOpen) {
  for (const char* link : {"http://example.com/", "HTTPS://example.com/a?b", " mailto:a@b.c"}) {
    EXPECT_TRUE(isOpenableLink(link)) << link;
  }
  for (const char* link : {"", "   ", "file:///etc/passwd", "javascript:alert(1)", "example.com",
                           "C:\\Windows\\notepad.exe", "httpx://a", "ftp://a/b", "/usr/bin/xterm"}) {
    EXPECT_FALSE(isOpenableLink(link)) << link;
  }
}

struct PlacementCase {
  int mainX, mainY, mainWidth, mainHeight;
  BalloonPlacement expected;
};

TEST(BalloonPlace, BesideTheCharacterTowardsTheMiddle) {
  // The balloon is 100 × 38: two lines of at most 14 bytes.
  for (const PlacementCase& c : {
           // Left half: the balloon to the right, tail at its left end.
           PlacementCase{100, 400, 240, 320, {267, 402, 267, 439, false}},
           PlacementCase{100, 400, 160, 240, {211, 392, 211, 429, false}},
           // Right half: the balloon to the left, right edge at x + 72 (or 48).
           PlacementCase{700, 400, 240, 320, {672, 402, 740, 439, true}},
           PlacementCase{700, 400, 160, 240, {648, 392, 716, 429, true}},
           // At the top of the screen the balloon stays on it.
           PlacementCase{100, -200, 240, 320, {267, 1, 267, 38, false}},
       }) {
    SCOPED_TRACE(std::to_string(c.mainX) + "," + std::to_string(c.mainY) + " W=" +
                 std::to_string(c.mainWidth));
    FixedWindows windows;
    Balloon balloon(windows);
    balloon.setScreenWidth(1024);
    balloon.setMainWindowSize(c.mainWidth, c.mainHeight);
    balloon.showEntry("fourteen bytes\nx");
    balloon.layout(0);
    ASSERT_EQ(balloon.width(), 100);
    ASSERT_EQ(balloon.height(), 38);
    balloon.placeBeside(c.mainY, c.mainX);
    ASSERT_EQ(windows.places.size(), 1u);
    EXPECT_EQ(windows.places[0], c.expected);
  }
}

TEST(BalloonPlace, FollowingTheWindowRedrawsThePageOnShow) {
  FixedWindows windows;
  Balloon balloon(windows);
  balloon.setScreenWidth(1024);
  bool menuOpen = false;
  balloon.menuOpen = [&] { return menuOpen; };
  balloon.showEntry("one\\0two");
  balloon.layout(1);
  ASSERT_EQ(windows.pictures.size(), 1u);

  balloon.followMainWindow(100, 300);
  ASSERT_EQ(windows.pictures.size(), 2u);
  EXPECT_EQ(windows.pictures[1].page, "one");  // the same page, not the next
  EXPECT_EQ(windows.places.back().x, 267);
  EXPECT_EQ(balloon.pageStart(), 5u);

  // With a menu open the page is not drawn, but the balloon still moves.
  menuOpen = true;
  const std::size_t placed = windows.places.size();
  balloon.followMainWindow(700, 300);
  EXPECT_EQ(windows.pictures.size(), 2u);
  ASSERT_EQ(windows.places.size(), placed + 1);
  EXPECT_TRUE(windows.places.back().tailOnRight);

  // The next layout draws the page still on show, at the position followed
  // last; the one after that turns the page.
  menuOpen = false;
  balloon.layout(1);
  ASSERT_EQ(windows.pictures.size(), 3u);
  EXPECT_EQ(windows.pictures[2].page, "one");
  EXPECT_TRUE(windows.places.back().tailOnRight);
  balloon.layout(1);
  ASSERT_EQ(windows.pictures.size(), 4u);
  EXPECT_EQ(windows.pictures[3].page, "two");
}

}  // namespace
}  // namespace vashel
