// A feature whose command exists before its work does says so on standard
// error, once, instead of doing nothing without a sign. Each use goes away
// when its feature lands.
#pragma once

#include <cstdio>
#include <set>
#include <string>
#include <string_view>

namespace vashel {

class NotBuiltNotice {
 public:
  explicit NotBuiltNotice(std::FILE* err = stderr) : err_(err) {}

  // Prints "<feature>: not built yet" the first time `feature` is named;
  // later calls with the same name print nothing.
  void report(std::string_view feature);

 private:
  std::FILE* err_;
  std::set<std::string, std::less<>> reported_;
};

}  // namespace vashel
