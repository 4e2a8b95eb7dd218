// glj: inspect, convert and render scene files.
#include <cstdio>
#include <cstring>

#include "tools/glj/command.h"

namespace vashel::glj {
namespace {

std::vector<const GljCommand*>& registry() {
  static std::vector<const GljCommand*> commands;
  return commands;
}

int usage() {
  std::fprintf(stderr, "usage:\n");
  for (const GljCommand* command : registry()) {
    std::fprintf(stderr, "  glj %s %s\n", command->name, command->usage);
  }
  return 2;
}

}  // namespace

GljCommand::GljCommand(const char* name_, const char* usage_, CommandFunction run_)
    : name(name_), usage(usage_), run(run_) {
  registry().push_back(this);
}

int fail(const std::string& message) {
  std::fprintf(stderr, "glj: %s\n", message.c_str());
  return 1;
}

}  // namespace vashel::glj

int main(int argc, char** argv) {
  using namespace vashel::glj;
  if (argc < 2) return usage();
  for (const GljCommand* command : registry()) {
    if (std::strcmp(command->name, argv[1]) == 0) {
      return command->run(std::vector<std::string>(argv + 2, argv + argc));
    }
  }
  std::fprintf(stderr, "glj: unknown command '%s'\n", argv[1]);
  return usage();
}
