// Code-page conversions. Texts from character data are code page 932 bytes
// inside the program; they become UTF-8 only where shown or printed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vashel {

// The data's code page, and what code page 0 stands for.
inline constexpr int kDataCodePage = 932;

// True for a byte that starts a double-byte character of code page 932; its
// second byte may be any value from 0x40 up, including '\\', 'H' and 'M'.
constexpr bool isShiftJisLeadByte(unsigned char byte) {
  return (byte >= 0x81 && byte <= 0x9F) || (byte >= 0xE0 && byte <= 0xFC);
}

// The length of the well-formed UTF-8 character that `bytes` starts with, or 0
// when it starts with none (an ill-formed or cut-short sequence, or nothing).
std::size_t wellFormedUtf8Length(std::string_view bytes);

// Converts bytes in `codePage` (0 = the data's code page 932; 932, 51932 =
// EUC-JP, 936, 65001 = UTF-8) to UTF-8. Conversion stops at the first NUL
// byte. An unknown code page gives an empty string. A byte that does not
// convert becomes U+FFFD and conversion goes on; in UTF-8 input, so does each
// ill-formed piece, and reading resumes at the first byte that does not fit it.
std::string convertToUtf8(int codePage, std::string_view bytes);

// UTF-8 to code page 932, stopping at the first NUL byte. Characters that 932
// cannot represent become '?', and so does each ill-formed piece of UTF-8 (as
// above).
std::string convertUtf8ToShiftJis(std::string_view bytes);

}  // namespace vashel
