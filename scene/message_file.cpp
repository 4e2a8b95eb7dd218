// Companion message files: one balloon message a line, attached to an action
// slot or setting the default message.
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/codepage.h"
#include "scene/loader.h"
#include "scene/scene_text.h"

namespace vashel {
namespace {

constexpr int kLineBufferSize = 512;  // lines of at most 511 bytes

// Backslash-n pairs become a space and a line break. The second byte of a
// double-byte character may be 0x5C, which is not a backslash there.
void expandLineBreaks(std::string& text) {
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (isShiftJisLeadByte(static_cast<unsigned char>(text[i]))) {
      ++i;
    } else if (text[i] == '\\' && text[i + 1] == 'n') {
      text[i] = ' ';
      text[++i] = '\n';
    }
  }
}

}  // namespace

void readMessageFile(std::FILE* file, Scene& scene, LoadHooks& hooks) {
  char buffer[kLineBufferSize];
  int lineNumber = 0;
  while (std::fgets(buffer, kLineBufferSize, file)) {
    ++lineNumber;
    std::string line(buffer, std::strlen(buffer));
    if (line.size() == kLineBufferSize - 1 && line.back() != '\n') {
      // A full buffer: either the line break did not fit, or the line is too
      // long, and then its tail is dropped rather than read as a line.
      int c = std::fgetc(file);
      if (c == '\n') {
        line.push_back('\n');
      } else if (c != EOF) {
        while (c != EOF && c != '\n') c = std::fgetc(file);
        std::fprintf(stderr, "message file line %d: longer than %d bytes, the rest is ignored\n",
                     lineNumber, kLineBufferSize - 1);
      }
    }
    // Files written with CR LF read as a text-mode reader gives them.
    if (line.size() >= 2 && line[line.size() - 2] == '\r' && line.back() == '\n') {
      line.erase(line.size() - 2, 1);
    }
    if (line.empty() || !((line[0] >= '0' && line[0] <= '9') || line[0] == '-')) continue;

    LineTokenizer tokens(line);
    const std::string_view id = tokens.next();
    const int duration = tokens.nextInteger();
    const std::string_view hourToken = tokens.next();
    const int hour = hourToken.starts_with('*') ? -1 : parseInteger(hourToken);
    std::string text(tokens.rest());
    expandLineBreaks(text);

    if (id.starts_with('-')) {
      scene.defaultMessage = {std::move(text), duration};
      continue;
    }
    const int slot = parseInteger(id);
    Action* action = scene.action(slot);
    if (!action || action->id == -1) {
      const std::string message =
          "メッセージを設定するアクションがありません: id=" + std::to_string(slot);
      hooks.messageBox("MessageFile", convertUtf8ToShiftJis(message));
      continue;
    }
    action->messages.push_back({-1, duration, hour, std::move(text)});
  }
}

}  // namespace vashel
