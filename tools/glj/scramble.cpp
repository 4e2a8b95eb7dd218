// glj scramble IN OUT and glj descramble IN OUT: the line scrambling of the
// `j` and `k` scene variants, so that authors can make and inspect such files.
// Terminators stay as they are; in a `k` file (by the scrambled file's name)
// the "FILE: " line and everything after it stay as stored.
#include <cstdio>
#include <string>
#include <vector>

#include "scene/loader.h"
#include "scene/scene_builder.h"
#include "tools/glj/command.h"

namespace vashel::glj {
namespace {

constexpr std::string_view kFileMarker = "FILE: ";

bool writeFile(const std::string& name, const std::string& bytes) {
  std::FILE* file = std::fopen(name.c_str(), "wb");
  if (!file) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

// Plain bytes whose scrambled form would read as a line break (LF, CR) or as
// the end of the data (0xFF).
bool unscramblable(unsigned char c) { return c == 0x0B || c == 0x0E || c == 0x00; }

int convert(const std::vector<std::string>& args, bool scramble) {
  const char* usage = scramble ? "usage: glj scramble IN OUT" : "usage: glj descramble IN OUT";
  if (args.size() != 2 || args[0].starts_with("-") || args[1].starts_with("-")) return fail(usage);
  std::vector<char> input;
  try {
    input = readSceneFile(args[0]);
  } catch (const MYERRORCODE& error) {
    return fail((error.code == 1 ? "cannot open " : "cannot read ") + args[0]);
  }
  const std::string& scrambledName = scramble ? args[1] : args[0];
  const bool kVariant = sceneVariant(scrambledName) == SceneVariant::K;

  std::string output;
  output.reserve(input.size());
  std::size_t pos = 0;
  int lineNumber = 0;
  while (pos < input.size()) {
    std::size_t end = pos;
    while (end < input.size() && input[end] != '\n' && input[end] != '\r') ++end;
    std::size_t next = end;
    if (next < input.size()) {
      const bool crLf = input[next] == '\r' && next + 1 < input.size() && input[next + 1] == '\n';
      next += crLf ? 2 : 1;
    }
    ++lineNumber;
    std::string line(input.data() + pos, end - pos);
    if (kVariant && line.starts_with(kFileMarker)) {
      output.append(input.data() + pos, input.size() - pos);
      break;
    }
    if (scramble) {
      for (const char c : line) {
        if (unscramblable(static_cast<unsigned char>(c))) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "0x%02X", static_cast<unsigned char>(c));
          return fail(args[0] + ":" + std::to_string(lineNumber) + ": byte " + hex +
                      " cannot be scrambled (it would read as a line break or the end of the "
                      "data)");
        }
      }
      scrambleLine(line);
      if (kVariant && line.starts_with(kFileMarker)) {
        return fail(args[0] + ":" + std::to_string(lineNumber) +
                    ": the scrambled line would begin with \"FILE: \" and end the data");
      }
    } else {
      descrambleLine(line);
    }
    output += line;
    output.append(input.data() + end, next - end);
    pos = next;
  }
  if (!writeFile(args[1], output)) return fail("cannot write " + args[1]);
  return 0;
}

int runScramble(const std::vector<std::string>& args) { return convert(args, true); }
int runDescramble(const std::vector<std::string>& args) { return convert(args, false); }

const GljCommand scrambleCommand("scramble", "IN OUT", runScramble);
const GljCommand descrambleCommand("descramble", "IN OUT", runDescramble);

}  // namespace
}  // namespace vashel::glj
