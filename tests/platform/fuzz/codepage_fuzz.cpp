// libFuzzer entry for the code-page conversions: the first byte picks the
// source code page, the rest is converted to UTF-8 and the UTF-8 form back.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/codepage.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static constexpr int kCodePages[] = {0, 932, 51932, 936, 65001, 1252};
  const int codePage = kCodePages[data[0] % std::size(kCodePages)];
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string utf8 = vashel::convertToUtf8(codePage, bytes);
  vashel::convertUtf8ToShiftJis(utf8);
  vashel::convertUtf8ToShiftJis(bytes);  // bytes that need not be UTF-8 at all
  return 0;
}
