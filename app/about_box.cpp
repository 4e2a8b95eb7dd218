// The About box: the character's name centred over how to handle it.
#include <algorithm>
#include <string>
#include <string_view>

#include "app/shell.h"

namespace vashel {
namespace {

// Columns a UTF-8 text takes in the box: wide (CJK) characters two, others one.
std::size_t columns(std::string_view text) {
  std::size_t width = 0;
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    width += length >= 3 ? 2 : 1;
    i += length;
  }
  return width;
}

}  // namespace

std::string aboutText(std::string_view displayName) {
  static constexpr std::string_view kHelp[] = {"操作：", "    鼠标左键拖动", "    鼠标右键转动",
                                               "    空格键暂停"};
  std::size_t width = 0;
  for (const std::string_view line : kHelp) width = std::max(width, columns(line));
  const std::size_t name = columns(displayName);
  std::string text(name < width ? (width - name) / 2 : 0, ' ');
  text.append(displayName).append("\n");
  text.append(width, ' ').append("\n\n");
  for (const std::string_view line : kHelp) text.append(line).append("\n");
  text.pop_back();
  return text;
}

void showAboutBox(ShellPort& port, std::string_view displayName) {
  MessageBoxOptions options;
  options.ownedByMainWindow = true;
  port.ui().messageBox("关于...", aboutText(displayName), MessageIcon::None, options);
}

}  // namespace vashel
