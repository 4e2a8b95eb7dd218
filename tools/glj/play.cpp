// glj play: shows what a character will do over the next minutes, without a
// window. The scene is loaded as the program loads it, from inside its own
// folder so that its companion message files and message.xml are found; then
// the player runs on a simulated clock and prints one line per event:
//
//   T action SLOT NAME START END camera=NAME sound=N   an action starts
//   T sequence NAME START END                          a message.xml sequence starts
//   T balloon SECONDS TEXT                             the balloon draws a page
//
// T is the simulated time in seconds (3 decimals); empty names print as "-";
// balloon texts are in UTF-8 with line breaks shown as \n.
//
// Options:
//   --seconds S         how long to run (default 60)
//   --seed N            seeds every random choice (default 1); the same seed
//                       gives the same output
//   --rate FPS          display rate, 1..1000 ticks per second (default 20)
//   --click NAME@T      at T seconds, right-click the pick mesh NAME, given in
//                       UTF-8 (repeatable)
//   --hour H            the local hour at the start, 0..23 (default 12); it
//                       selects hour-bound action messages and fills HH/MM
//
// The character always starts playing (a scene's start-up pause is not
// applied), sound is silent, and no feed items are fetched.
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "anim/headless.h"
#include "platform/codepage.h"
#include "scene/loader.h"
#include "tools/glj/command.h"
#include "xml/xml.h"

namespace vashel::glj {
namespace {

class PlayHooks final : public LoadHooks {
 public:
  explicit PlayHooks(HeadlessPlayer& player) : player_(player) {}
  double startPlayback(Scene&, int startupSlot) override {
    return player_.startPlayback(startupSlot);
  }
  void messageBox(std::string_view caption, std::string_view text) override {
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(caption.size()), caption.data(),
                 static_cast<int>(text.size()), text.data());
  }

 private:
  HeadlessPlayer& player_;
};

std::optional<long long> parseInteger(const std::string& text, long long min, long long max) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno != 0 || *end != '\0' || value < min || value > max) return std::nullopt;
  return value;
}

// Seconds as milliseconds, 0 up to a year.
std::optional<std::int64_t> parseSeconds(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (*end != '\0' || !(value >= 0) || value > 366.0 * 24 * 3600) return std::nullopt;
  return static_cast<std::int64_t>(std::llround(value * 1000));
}

int run(const std::vector<std::string>& args) {
  std::optional<std::string> file;
  HeadlessOptions options;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool hasValue = i + 1 < args.size();
    if (arg == "--seconds" || arg == "--seed" || arg == "--rate" || arg == "--click" ||
        arg == "--hour") {
      if (!hasValue) return fail("play: " + arg + " needs a value");
      const std::string& value = args[++i];
      if (arg == "--seconds") {
        const auto ms = parseSeconds(value);
        if (!ms) return fail("play: --seconds wants a number of seconds, not '" + value + "'");
        options.durationMs = *ms;
      } else if (arg == "--seed") {
        const auto seed = parseInteger(value, 0, UINT32_MAX);
        if (!seed) return fail("play: --seed wants an integer 0..4294967295, not '" + value + "'");
        options.seed = static_cast<std::uint32_t>(*seed);
      } else if (arg == "--rate") {
        const auto rate = parseInteger(value, 1, 1000);
        if (!rate) return fail("play: --rate wants 1..1000 frames per second, not '" + value + "'");
        options.rate = static_cast<int>(*rate);
      } else if (arg == "--hour") {
        const auto hour = parseInteger(value, 0, 23);
        if (!hour) return fail("play: --hour wants 0..23, not '" + value + "'");
        options.hour = static_cast<int>(*hour);
      } else {
        const std::size_t at = value.rfind('@');
        const auto ms = at == std::string::npos ? std::nullopt : parseSeconds(value.substr(at + 1));
        if (!ms || at == 0) return fail("play: --click wants NAME@SECONDS, not '" + value + "'");
        // The command line is UTF-8; mesh names are code page 932.
        const std::string name = value.substr(0, at);
        const std::string meshName = convertUtf8ToShiftJis(name);
        if (convertToUtf8(kDataCodePage, meshName) != name) {
          return fail("play: --click: '" + name + "' is not UTF-8 text that code page 932 can hold");
        }
        options.clicks.push_back(HeadlessClick{meshName, *ms});
      }
    } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
      return fail("play: unknown option '" + arg + "'");
    } else if (file) {
      return fail("play: one scene file only");
    } else {
      file = arg;
    }
  }
  if (!file) return fail("play: no scene file given");

  // The scene's companion files and message.xml are named relative to its folder.
  const std::filesystem::path path(*file);
  std::error_code error;
  if (path.has_parent_path()) {
    std::filesystem::current_path(path.parent_path(), error);
    if (error) return fail("play: cannot enter the folder of " + *file + ": " + error.message());
  }
  const std::string name = path.filename().string();

  Scene scene;
  HeadlessPlayer player(scene, options, stdout, stderr);
  PlayHooks hooks(player);
  LoadStatus status;
  try {
    loadScene(name, scene, hooks, status);
  } catch (const MYERRORCODE& e) {
    return fail("play: cannot read the scene " + *file + " (code " + std::to_string(e.code) + ")");
  }

  XmlElement messageRoot;
  XmlDocument document;
  document.clearBuffer();
  if (document.loadFile("message.xml")) document.parse(&messageRoot);
  player.setMessageRoot(&messageRoot);

  player.run();
  return std::fflush(stdout) == 0 ? 0 : 1;
}

const GljCommand kPlay("play",
                       "FILE [--seconds S] [--seed N] [--rate FPS] [--click NAME@SECONDS]... "
                       "[--hour H]",
                       run);

}  // namespace
}  // namespace vashel::glj
