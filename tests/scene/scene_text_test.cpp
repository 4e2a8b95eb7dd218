// Numbers, tokens, lines, variants and line scrambling of scene files.
#include "scene/scene_text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace vashel {
namespace {

TEST(SceneNumbers, ReadLikeAtof) {
  EXPECT_EQ(parseNumber("12abc"), 12.0);
  EXPECT_EQ(parseNumber(""), 0.0);
  EXPECT_EQ(parseNumber("abc"), 0.0);
  EXPECT_EQ(parseNumber("-2.5"), -2.5);
  EXPECT_EQ(parseNumber("+4"), 4.0);
  EXPECT_EQ(parseNumber(".5"), 0.5);
  EXPECT_EQ(parseNumber("5."), 5.0);
  EXPECT_EQ(parseNumber("."), 0.0);
  EXPECT_EQ(parseNumber("-"), 0.0);
  EXPECT_EQ(parseNumber("+-1"), 0.0);
  EXPECT_EQ(parseNumber("1e3"), 1000.0);
  EXPECT_EQ(parseNumber("1E-2"), 0.01);
  EXPECT_EQ(parseNumber("1e"), 1.0);    // an exponent without digits is not read
  EXPECT_EQ(parseNumber("2e+x"), 2.0);
  EXPECT_EQ(parseNumber("3/4/5"), 3.0);
  EXPECT_TRUE(std::signbit(parseNumber("-0")));
}

TEST(SceneNumbers, OnlyDecimalText) {
  // Hex floats, infinities and NaN are not decimal text: their decimal
  // prefix is read, so no NaN ever enters the scene.
  EXPECT_EQ(parseNumber("0x1p3"), 0.0);
  EXPECT_EQ(parseNumber("inf"), 0.0);
  EXPECT_EQ(parseNumber("-infinity"), 0.0);
  EXPECT_EQ(parseNumber("nan"), 0.0);
}

TEST(SceneNumbers, OverflowAndUnderflowAsAtof) {
  EXPECT_EQ(parseNumber("1e400"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(parseNumber("-1e400"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(parseNumber(std::string(400, '9')), std::numeric_limits<double>::infinity());
  EXPECT_EQ(parseNumber("1e-400"), 0.0);
  EXPECT_EQ(parseNumber("0." + std::string(400, '0') + "1"), 0.0);
  EXPECT_GT(parseNumber("1e-310"), 0.0);  // subnormal, still representable
}

TEST(SceneNumbers, CorrectlyRoundedLikeStrtod) {
  // glibc's strtod rounds correctly; the fast path and the general path must
  // agree with it bit for bit.
  std::setlocale(LC_NUMERIC, "C");
  std::mt19937_64 random(7);
  const std::vector<std::string> fixed = {
      "0.1", "0.3", "2.2250738585072011e-308", "9007199254740993", "9007199254740992.5",
      "123456789012345678901234567890", "0.000000000000000000000000000001234",
      "1.7976931348623157e308", "4.9406564584124654e-324", "1234567.8901234567e-5",
      "99999999999999999999", "0.1000000000000000055511151231257827"};
  std::vector<std::string> texts = fixed;
  for (int i = 0; i < 20000; ++i) {
    std::string text = std::to_string(random() % 100000);
    // Appended piece by piece: GCC 12 at -O3 takes `"." + std::to_string(...)`
    // for an overlapping copy (-Werror=restrict, a false positive).
    if (random() % 2) {
      text += '.';
      text += std::to_string(random() % 100000000);
    }
    if (random() % 4 == 0) {
      text += 'e';
      text += std::to_string(static_cast<int>(random() % 60) - 30);
    }
    if (random() % 3 == 0) text.insert(text.begin(), '-');
    texts.push_back(text);
  }
  for (int i = 0; i < 2000; ++i) {
    // Long mantissas force the general conversion.
    std::string text;
    for (int d = 0; d < 25; ++d) text += static_cast<char>('0' + random() % 10);
    text.insert(text.begin() + static_cast<std::ptrdiff_t>(random() % text.size()), '.');
    texts.push_back(text);
  }
  for (const std::string& text : texts) {
    const double expected = std::strtod(text.c_str(), nullptr);
    EXPECT_EQ(parseNumber(text), expected) << text;
    // The tokenizer reads the common case on its own path.
    const std::string line = text + " " + text;
    LineTokenizer tokens(line);
    double both[2] = {0, 0};
    tokens.nextNumbers(both, 2);
    EXPECT_EQ(both[0], expected) << text;
    EXPECT_EQ(both[1], expected) << text;
    // And so does the reader of whole lines, which takes every number
    // without an exponent that fits the fast conversion (digits after the
    // line must not count).
    const std::string inFile = " " + line + "\n12345678901234567890";
    double inPlace[2] = {0, 0};
    const char* next =
        readNumbersLine(inFile.data(), inFile.data() + inFile.size(), inPlace, 2);
    const auto digitCount = std::count_if(text.begin(), text.end(),
                                          [](char c) { return c >= '0' && c <= '9'; });
    if (text.find('e') == std::string::npos && digitCount <= 15) {
      EXPECT_EQ(next, inFile.data() + line.size() + 2) << text;
    }
    if (next) {
      EXPECT_EQ(inPlace[0], expected) << text;
      EXPECT_EQ(inPlace[1], expected) << text;
    }
  }
}

TEST(SceneNumbers, IntegersTruncateToTheLow32Bits) {
  EXPECT_EQ(toInt32(2.9), 2);
  EXPECT_EQ(toInt32(-2.9), -2);
  EXPECT_EQ(toInt32(4294967295.0), -1);  // the pattern 0xFFFFFFFF
  EXPECT_EQ(static_cast<std::uint32_t>(toInt32(4278190335.0)), 0xFF0000FFu);
  EXPECT_EQ(toInt32(4294967296.0 + 5), 5);
  EXPECT_EQ(toInt32(std::nan("")), 0);
  EXPECT_EQ(toInt32(1e30), 0);
  EXPECT_EQ(toInt32(-1e30), 0);
  EXPECT_EQ(toInt32(std::numeric_limits<double>::infinity()), 0);
  EXPECT_EQ(toInt32(9223372036854775808.0), 0);  // 2^63 is already out of range
}

TEST(SceneNumbers, IntegerFastPathAgreesWithTheGeneralRule) {
  const std::vector<std::string> texts = {
      "0",   "7",          "-7",         "+7",       "12abc",         "4294967295", "4294967296",
      "1e3", "2.99",       "-2.99",      "",         "x",             "007",        "-0",
      "1.",  "123456789012345", "1234567890123456", "9007199254740993", "99999999999999999999",
      "5e",  "1/2/3",      "3000000000", "-3000000000", "9223372036854775807"};
  for (const std::string& text : texts) {
    EXPECT_EQ(parseInteger(text), toInt32(parseNumber(text))) << text;
  }
}

std::vector<std::string> tokensOf(std::string_view line) {
  LineTokenizer tokens(line);
  std::vector<std::string> out;
  while (tokens.hasToken()) out.emplace_back(tokens.next());
  return out;
}

TEST(SceneTokens, QuotesAndParenthesesKeepWhiteSpace) {
  EXPECT_EQ(tokensOf("  a\tb  c"), (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_EQ(tokensOf("name \"two words\" x"),
            (std::vector<std::string>{"name", "\"two words\"", "x"}));
  EXPECT_EQ(tokensOf("f(a b) (c (d e) f) g"),
            (std::vector<std::string>{"f(a b)", "(c (d e) f)", "g"}));
  EXPECT_EQ(tokensOf("a) b"), (std::vector<std::string>{"a)", "b"}));
  EXPECT_EQ(tokensOf("\"open to the end"), (std::vector<std::string>{"\"open to the end"}));
}

TEST(SceneTokens, MissingTokensAreEmptyAndReadAsZero) {
  LineTokenizer tokens("v 1");
  EXPECT_EQ(tokens.next(), "v");
  EXPECT_EQ(tokens.nextNumber(), 1.0);
  EXPECT_EQ(tokens.nextNumber(), 0.0);
  EXPECT_EQ(tokens.nextInteger(), 0);
  EXPECT_EQ(tokens.next(), "");
}

TEST(SceneTokens, OnlyBlanksAreSkippedBetweenTokens) {
  // A vertical tab ends a token but is not skipped: the tokens after it read
  // as empty, and reading them never loops.
  LineTokenizer tokens("a\vb c");
  EXPECT_EQ(tokens.next(), "a");
  EXPECT_FALSE(tokens.hasToken());
  EXPECT_EQ(tokens.next(), "");
  EXPECT_EQ(tokens.nextNumber(), 0.0);
  EXPECT_EQ(tokens.next(), "");
}

TEST(SceneTokens, LongRunsAreCutTo127Bytes) {
  const std::string line = std::string(300, 'x') + " next";
  LineTokenizer tokens(line);
  EXPECT_EQ(tokens.next(), std::string(127, 'x'));
  EXPECT_EQ(tokens.next(), "next");
  // A number past the cut is not read.
  const std::string zeros = std::string(127, '0') + "5 7";
  LineTokenizer digits(zeros);
  EXPECT_EQ(digits.nextNumber(), 0.0);
  EXPECT_EQ(digits.nextInteger(), 7);
}

TEST(SceneTokens, NumbersStopInsideTokens) {
  LineTokenizer tokens("12abc 3(x y) 4\"q r\" 5");
  EXPECT_EQ(tokens.nextNumber(), 12.0);
  EXPECT_EQ(tokens.nextInteger(), 3);
  EXPECT_EQ(tokens.nextNumber(), 4.0);
  EXPECT_EQ(tokens.nextInteger(), 5);
}

TEST(SceneTokens, NumbersReadAheadOnlyWithinTheirLine) {
  // The line is a prefix of a larger buffer: digits after it must not count.
  const std::string buffer = "v 1.25 3.5\n999999999";
  LineTokenizer tokens(std::string_view(buffer).substr(0, 10), buffer.data() + buffer.size());
  tokens.next();
  EXPECT_EQ(tokens.nextNumber(), 1.25);
  EXPECT_EQ(tokens.nextNumber(), 3.5);
  const std::string ints = "12345678 1234\n5678";
  LineTokenizer integers(std::string_view(ints).substr(0, 13), ints.data() + ints.size());
  EXPECT_EQ(integers.nextInteger(), 12345678);
  EXPECT_EQ(integers.nextInteger(), 1234);
}

TEST(SceneTokens, FaceCorners) {
  std::int64_t parts[3];
  ASSERT_TRUE(readFaceCorner("1/2/3", nullptr, parts));
  EXPECT_EQ((std::vector<std::int64_t>{parts[0], parts[1], parts[2]}),
            (std::vector<std::int64_t>{0, 1, 2}));
  ASSERT_TRUE(readFaceCorner("5//7", nullptr, parts));
  EXPECT_EQ(parts[1], -1);
  ASSERT_TRUE(readFaceCorner("1.9/2e1/+3", nullptr, parts));
  EXPECT_EQ((std::vector<std::int64_t>{parts[0], parts[1], parts[2]}),
            (std::vector<std::int64_t>{0, 19, 2}));
  ASSERT_TRUE(readFaceCorner("1/2/3/4", nullptr, parts));
  EXPECT_EQ(parts[2], 2);
  ASSERT_TRUE(readFaceCorner("4294967297/1/1", nullptr, parts));
  EXPECT_EQ(parts[0], 0);  // the low 32 bits of the integer
  EXPECT_FALSE(readFaceCorner("1/2", nullptr, parts));
  EXPECT_FALSE(readFaceCorner("12", nullptr, parts));

  // The in-place reader gives the same parts as the token reader.
  LineTokenizer tokens("123456789/22/3 1//2 0/0/0 7/8/9x");
  const std::vector<std::vector<std::int64_t>> expected = {
      {123456788, 21, 2}, {0, -1, 1}, {-1, -1, -1}, {6, 7, 8}};
  for (const auto& want : expected) {
    std::string_view corner;
    ASSERT_TRUE(tokens.nextFaceCorner(parts, &corner));
    EXPECT_EQ((std::vector<std::int64_t>{parts[0], parts[1], parts[2]}), want) << corner;
  }
  EXPECT_FALSE(tokens.hasToken());

  // Plain corners in a row stop before a token of any other form, which
  // the general reader then takes.
  LineTokenizer row("1/2/3 4//6\t10/11/12 1234567890/1/1 5/5/5 2/2/2\" 3/3/3");
  std::vector<int> vertex, texcoord, normal;
  EXPECT_EQ(row.nextPlainCorners(vertex, texcoord, normal), 3u);
  EXPECT_EQ(vertex, (std::vector<int>{0, 3, 9}));
  EXPECT_EQ(texcoord, (std::vector<int>{1, -1, 10}));
  EXPECT_EQ(normal, (std::vector<int>{2, 5, 11}));
  EXPECT_EQ(row.next(), "1234567890/1/1");
  EXPECT_EQ(row.nextPlainCorners(vertex, texcoord, normal), 1u);
  EXPECT_EQ(vertex.back(), 4);
  EXPECT_EQ(row.nextPlainCorners(vertex, texcoord, normal), 0u);
  EXPECT_EQ(row.next(), "2/2/2\" 3/3/3");
  EXPECT_EQ(vertex.size(), 4u);
}

// The whole-line readers against the tokenizer over the same line: the same
// values wherever they take the line, and null for every other shape.
const char* numbersInPlace(const std::string& text, std::vector<double>& values) {
  return readNumbersLine(text.data(), text.data() + text.size(), values.data(), values.size());
}
std::vector<double> numbersByTokens(const std::string& text, std::size_t count) {
  const std::string_view line = std::string_view(text).substr(0, text.find('\n'));
  LineTokenizer tokens(line, text.data() + text.size());
  std::vector<double> values(count);
  tokens.nextNumbers(values.data(), count);
  return values;
}

TEST(SceneLinesInPlace, NumbersAsTheTokenizerReadsThem) {
  // Every digit count around the fast reader's eight-byte steps, with and
  // without sign, and with room after the line or right at the text's end.
  const std::string digits = "9876543210";
  for (std::size_t whole = 0; whole <= 9; ++whole) {
    for (std::size_t fraction = 0; fraction <= 10; ++fraction) {
      // Up to 15 digits, which the fast conversion always takes.
      if (whole + fraction == 0 || whole + fraction > 15) continue;
      std::string number = digits.substr(0, whole);
      if (fraction > 0) number += "." + digits.substr(10 - fraction);
      for (const std::string& after : {std::string("\n7777777777777777777"), std::string("\n")}) {
        const std::string text = "-" + number + " " + number + "\t+" + number + " " + after;
        std::vector<double> values(3);
        const char* next = numbersInPlace(text, values);
        ASSERT_NE(next, nullptr) << text;
        EXPECT_EQ(next, text.data() + text.size() - after.size() + 1) << text;
        EXPECT_EQ(values, numbersByTokens(text, 3)) << text;
        EXPECT_EQ(values[0], -std::strtod(number.c_str(), nullptr)) << text;
      }
    }
  }
  std::vector<double> values(3);
  const std::string negativeZero = "-0 -0.000 .5\n";
  ASSERT_NE(numbersInPlace(negativeZero, values), nullptr);
  EXPECT_TRUE(std::signbit(values[0]) && std::signbit(values[1]));
  EXPECT_EQ(values[2], 0.5);
  // Anything else is left to the tokenizer: a CR, too few or too many
  // numbers, no LF before the end, a NUL, letters, exponents past the fast
  // conversion, a run longer than a token may be.
  const std::string others[] = {"1 2 3\r\n",   "1 2\n",          "1 2 3 4\n",
                                "1 2 3",        std::string("1 2 3\0\n", 7), "12abc 2 3\n",
                                "1 2 3x\n",     "nan 1 2\n",      "1e400 1 2\n",
                                "1.5e 1 2\n",   "\n",             "1 2 - 3\n",
                                "1-2 3\n",      "1+2 3\n",        "0.5.5 1\n",
                                "1" + std::string(130, '0') + " 2 3\n"};
  for (const std::string& text : others) {
    EXPECT_EQ(numbersInPlace(text, values), nullptr) << text;
  }
  // Short exponents are in the fast conversion and read in place.
  const std::string exponents = "1e3 -2.5E-2 7e+1\n";
  ASSERT_NE(numbersInPlace(exponents, values), nullptr);
  EXPECT_EQ(values, (std::vector<double>{1000, -0.025, 70}));
}

TEST(SceneLinesInPlace, AnIntegerThenNumbers) {
  std::int32_t first = 0;
  std::vector<double> values;
  auto read = [&](const std::string& text) {
    values.clear();
    return readIntegerAndNumbersLine(text.data(), text.data() + text.size(), &first, values);
  };
  const std::string weights = " 5 0.5\t0.25 \nx";
  EXPECT_EQ(read(weights), weights.data() + weights.size() - 1);
  EXPECT_EQ(first, 5);
  EXPECT_EQ(values, (std::vector<double>{0.5, 0.25}));
  ASSERT_NE(read("7\n"), nullptr);
  EXPECT_EQ(first, 7);
  EXPECT_TRUE(values.empty());
  ASSERT_NE(read("-3 1\n"), nullptr);
  EXPECT_EQ(first, -3);
  ASSERT_NE(read("4294967297 1\n"), nullptr);
  EXPECT_EQ(first, 1);  // the low 32 bits, as nextInteger gives
  for (const std::string text : {"5.5 1\n", "5e1 1\n", "x 1\n", "5 1 x\n", "5 1\r\n", "5 1",
                                  "\n", "5-1\n", "5 1-1\n"}) {
    EXPECT_EQ(read(text), nullptr) << text;
  }
}

TEST(SceneLinesInPlace, PlainCornersAsTheTokenizerReadsThem) {
  constexpr std::size_t kCapacity = 16;
  int parts[3][kCapacity];
  std::size_t count = 0;
  std::uint32_t largest[3] = {0, 0, 0};
  auto read = [&](const std::string& text) {
    return readPlainCornersLine(text.data(), text.data() + text.size(), parts[0], parts[1],
                                parts[2], kCapacity, &count, largest);
  };
  auto expectAsTokens = [&](const std::string& text) {
    const char* next = read(text);
    ASSERT_NE(next, nullptr) << text;
    EXPECT_EQ(*(next - 1), '\n');
    LineTokenizer tokens(std::string_view(text).substr(0, text.find('\n')));
    std::vector<int> vertex, texcoord, normal;
    ASSERT_EQ(tokens.nextPlainCorners(vertex, texcoord, normal), count) << text;
    EXPECT_EQ(vertex, std::vector<int>(parts[0], parts[0] + count)) << text;
    EXPECT_EQ(texcoord, std::vector<int>(parts[1], parts[1] + count)) << text;
    EXPECT_EQ(normal, std::vector<int>(parts[2], parts[2] + count)) << text;
    const std::vector<int>* lists[3] = {&vertex, &texcoord, &normal};
    for (int i = 0; i < 3; ++i) {
      const int most = *std::max_element(lists[i]->begin(), lists[i]->end());
      EXPECT_EQ(static_cast<int>(largest[i]) - 1, most) << text;
    }
  };
  // Every run length from none to nine digits in every part, read from a
  // wide window (text after the line) and byte by byte (at the text's end).
  const std::string digits = "987654321";
  for (std::size_t a = 0; a <= 9; ++a) {
    for (std::size_t b = 0; b <= 9; ++b) {
      for (std::size_t c = 0; c <= 9; c += (a + b) % 3 + 1) {
        const std::string corner =
            digits.substr(0, a) + "/" + digits.substr(9 - b) + "/" + digits.substr(0, c);
        expectAsTokens(" " + corner + " 1/2/3\t" + corner + "\n" + std::string(64, '5'));
        expectAsTokens(corner + " \n");
      }
    }
  }
  ASSERT_NE(read("1/2/3 4/5/6 7/8/9\n"), nullptr);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ((std::vector<int>{parts[0][2], parts[1][2], parts[2][2]}), (std::vector<int>{6, 7, 8}));
  std::string sixteen, seventeen;
  for (int i = 0; i < 16; ++i) sixteen += " 1/1/1";
  seventeen = sixteen + " 1/1/1";
  ASSERT_NE(read(sixteen + "\n"), nullptr);
  EXPECT_EQ(count, 16u);
  const std::string others[] = {"1/2 3/4/5\n", "1/2/3 4/5/6x\n", "1234567890/1/1\n",
                                "-1/2/3\n",    "1/2/3\r\n",       "\n",
                                "1/2/3",       seventeen + "\n",  "1/2/3/4\n",
                                "1/2/3" + std::string(60, ' ')};
  for (const std::string& text : others) EXPECT_EQ(read(text), nullptr) << text;
}

struct ReadLine {
  int terminator;
  std::string text;
};

std::vector<ReadLine> readAll(std::string_view text, SceneVariant variant = SceneVariant::Plain) {
  SceneLineReader reader(std::span<const char>(text.data(), text.size()), variant);
  std::vector<ReadLine> lines;
  for (;;) {
    const int terminator = reader.readSceneLine();
    lines.push_back({terminator, std::string(reader.line())});
    if (terminator <= 0) break;
  }
  return lines;
}

TEST(SceneLines, TerminatorsAndTheEnd) {
  const auto lines = readAll("a\nb\r\nc\rd");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].text, "a");
  EXPECT_EQ(lines[0].terminator, '\n');
  EXPECT_EQ(lines[1].text, "b");
  EXPECT_EQ(lines[1].terminator, '\r');
  EXPECT_EQ(lines[2].text, "c");
  EXPECT_EQ(lines[2].terminator, '\r');
  // Text after the last terminator comes with -1: it is not to be handled.
  EXPECT_EQ(lines[3].terminator, -1);
}

TEST(SceneLines, EmptyLinesAndLineNumbers) {
  const std::string text = "a\r\n\r\n\nb\n";
  SceneLineReader reader(text, SceneVariant::Plain);
  std::vector<std::pair<std::string, int>> seen;
  while (reader.readSceneLine() > 0) seen.emplace_back(reader.line(), reader.lineNumber());
  EXPECT_EQ(seen, (std::vector<std::pair<std::string, int>>{{"a", 1}, {"", 2}, {"", 3}, {"b", 4}}));
}

TEST(SceneLines, ByteFFEndsTheData) {
  const auto lines = readAll("a\nbc\xff" "d\ne\n");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].text, "a");
  EXPECT_EQ(lines[1].terminator, -1);
}

TEST(SceneLines, NulCutsTheLineContent) {
  const auto lines = readAll(std::string_view("ab\0cd\nx\n", 8));
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].text, "ab");
  EXPECT_EQ(lines[1].text, "x");
}

TEST(SceneScrambling, HandComputedLine) {
  // "abcdef": bytes minus one give "`abcde"; positions 0 and 4 swap.
  std::string line = "abcdef";
  scrambleLine(line);
  EXPECT_EQ(line, "dabc`e");
  descrambleLine(line);
  EXPECT_EQ(line, "abcdef");
  // Three bytes or fewer are only shifted.
  std::string shortLine = "abc";
  descrambleLine(shortLine);
  EXPECT_EQ(shortLine, "bcd");
  // The byte shift wraps.
  std::string wrap = "\xff";
  descrambleLine(wrap);
  EXPECT_EQ(wrap, std::string(1, '\0'));
}

TEST(SceneScrambling, EveryLengthRoundTrips) {
  std::mt19937 random(3);
  for (std::size_t n = 0; n < 70; ++n) {
    std::string original(n, '\0');
    for (char& c : original) c = static_cast<char>(random());
    std::string line = original;
    scrambleLine(line);
    descrambleLine(line);
    EXPECT_EQ(line, original) << n;
  }
}

std::string scrambled(std::string line) {
  scrambleLine(line);
  return line;
}

TEST(SceneLines, DescramblesJFiles) {
  const std::string text = scrambled("time: 0 5") + "\n" + scrambled(" v 1 2 3") + "\r\n";
  const auto lines = readAll(text, SceneVariant::J);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].text, "time: 0 5");
  EXPECT_EQ(lines[1].text, " v 1 2 3");
}

TEST(SceneLines, KFilesStopDescramblingAtTheFileMarker) {
  const std::string text = scrambled("time: 0 5") + "\nFILE: sound.wav\nraw\n";
  SceneLineReader reader(text, SceneVariant::K);
  ASSERT_GT(reader.readSceneLine(), 0);
  EXPECT_EQ(reader.line(), "time: 0 5");
  EXPECT_FALSE(reader.fileMarker());
  ASSERT_GT(reader.readSceneLine(), 0);
  EXPECT_TRUE(reader.fileMarker());
  EXPECT_EQ(reader.line(), "FILE: sound.wav");
  ASSERT_GT(reader.readSceneLine(), 0);
  EXPECT_EQ(reader.line(), "raw");  // descrambling is off from here
  // In a j file the same line is just scrambled text.
  SceneLineReader j(text, SceneVariant::J);
  j.readSceneLine();
  j.readSceneLine();
  EXPECT_FALSE(j.fileMarker());
}

TEST(SceneLines, CountsLineFeeds) {
  EXPECT_EQ(countLineFeeds(std::string_view("")), 0u);
  EXPECT_EQ(countLineFeeds(std::string_view("\n\r\n\rabc\n")), 3u);
  std::string many(1000, 'x');
  for (std::size_t i = 0; i < many.size(); i += 7) many[i] = '\n';
  EXPECT_EQ(countLineFeeds(many), 143u);
  // Long stretches of nothing but line feeds, past any per-byte tally, and
  // ends at every offset.
  const std::string feeds(16 * 255 * 3 + 21, '\n');
  for (std::size_t length :
       {feeds.size(), feeds.size() - 5, std::size_t{16 * 255}, std::size_t{17}}) {
    EXPECT_EQ(countLineFeeds(std::string_view(feeds).substr(0, length)), length);
  }
}

TEST(SceneLines, CountsRunsOfLikeLines) {
  // Lines short and long, so that line ends fall everywhere in a block.
  std::string text = "mesh m World\n";
  for (int i = 0; i < 40; ++i) text += " v " + std::string(static_cast<std::size_t>(i), '1') + "\n";
  text += " vn 1\n v 2\n v";
  SceneLineReader reader(text, SceneVariant::Plain);
  ASSERT_GT(reader.readSceneLine(), 0);
  EXPECT_EQ(reader.countRun(" v ", 1000), 40u);
  EXPECT_EQ(reader.countRun(" v ", 7), 7u);
  EXPECT_EQ(reader.countRun(" vn ", 1000), 0u);
  for (int i = 0; i < 40; ++i) reader.readSceneLine();
  EXPECT_EQ(reader.countRun(" vn ", 1000), 1u);
  reader.readSceneLine();
  // The last line lacks its terminator and is too short for the prefix.
  EXPECT_EQ(reader.countRun(" v ", 1000), 1u);
  EXPECT_EQ(reader.countRun(" v", 1000), 2u);
  // Scrambled text gives no hint.
  SceneLineReader scrambled(text, SceneVariant::J);
  EXPECT_EQ(scrambled.countRun(" v ", 1000), 0u);
}

TEST(SceneLines, RunsOfLikeLinesCountedAcrossBlocks) {
  // Lines of every length around the 64-byte blocks the count walks in,
  // runs broken by other keys, CR LF ends, and runs to the very end.
  std::mt19937 random(3);
  std::vector<std::string> lines;
  for (int i = 0; i < 3000; ++i) {
    const auto shape = random() % 40;
    std::string line = shape == 0 ? " vn" : shape == 1 ? " v" : shape == 2 ? "v " : " v ";
    line += std::string(random() % (random() % 8 == 0 ? 300 : 70), '1');
    if (random() % 10 == 0) line += '\r';
    lines.push_back(line);
  }
  std::string text;
  for (const std::string& line : lines) text += line + "\n";
  for (const std::string& end : {std::string(""), std::string(" v 1")}) {
    const std::string all = text + end;
    std::vector<std::string> every = lines;
    if (!end.empty()) every.push_back(end);
    SceneLineReader reader(all, SceneVariant::Plain);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      ASSERT_GT(reader.readSceneLine(), 0);
      std::size_t run = 0;
      while (i + 1 + run < every.size() && every[i + 1 + run].starts_with(" v ")) ++run;
      ASSERT_EQ(reader.countRun(" v ", 1 << 20), run) << i;
      EXPECT_EQ(reader.countRun(" v ", 5), std::min<std::size_t>(run, 5)) << i;
      EXPECT_EQ(reader.countRun(" v ", 0), 0u);
    }
  }
}

TEST(SceneLines, EveryLineEndIsFoundAtEveryOffset) {
  const std::string ends[] = {std::string("\n"), std::string("\r"), std::string("\r\n"),
                              std::string("\0z\n", 3), std::string("\xff")};
  for (const std::string& end : ends) {
    for (std::size_t length = 0; length < 40; ++length) {
      const std::string content(length, 'a');
      const auto lines = readAll(content + end + "b\n");
      ASSERT_FALSE(lines.empty());
      EXPECT_EQ(lines[0].text, content) << length;
      if (end == "\xff") {
        EXPECT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].terminator, -1);
      } else {
        ASSERT_EQ(lines.size(), 3u) << length;  // the last: the end of the data
        EXPECT_EQ(lines[1].text, "b");
      }
    }
  }
}

TEST(SceneVariants, ChosenByTheThirdCharacterAfterTheLastDot) {
  EXPECT_EQ(sceneVariant("data.glj"), SceneVariant::J);
  EXPECT_EQ(sceneVariant("data.glk"), SceneVariant::K);
  EXPECT_EQ(sceneVariant("data.txt"), SceneVariant::Plain);
  EXPECT_EQ(sceneVariant("a.glj.txt"), SceneVariant::Plain);
  EXPECT_EQ(sceneVariant("a.txt.glj"), SceneVariant::J);
  EXPECT_EQ(sceneVariant("data.gl"), SceneVariant::Plain);  // too short
  EXPECT_EQ(sceneVariant("abcj"), SceneVariant::J);         // no dot: position 3
  EXPECT_EQ(sceneVariant(""), SceneVariant::Plain);
  EXPECT_STREQ(variantName(SceneVariant::Plain), "plain");
  EXPECT_STREQ(variantName(SceneVariant::J), "j");
  EXPECT_STREQ(variantName(SceneVariant::K), "k");
}

}  // namespace
}  // namespace vashel
