// The notice of a feature not built yet: once per feature, on the stream given.
#include "app/not_built.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace vashel {
namespace {

TEST(NotBuiltNotice, EachFeatureIsNamedOnceWhateverTheOrder) {
  char* buffer = nullptr;
  std::size_t size = 0;
  std::FILE* err = open_memstream(&buffer, &size);
  ASSERT_NE(err, nullptr);
  {
    NotBuiltNotice notice(err);
    notice.report("About box");
    notice.report("tray menu");
    notice.report("About box");
    notice.report("tray menu");
    notice.report("About");  // a name that only starts like another is its own
  }
  std::fclose(err);
  const std::string text(buffer, size);
  std::free(buffer);
  EXPECT_EQ(text, "About box: not built yet\ntray menu: not built yet\nAbout: not built yet\n");
}

}  // namespace
}  // namespace vashel
