// Subcommands of glj. A command file defines one static GljCommand; it
// registers itself, so main knows no command by name.
#pragma once

#include <string>
#include <vector>

namespace vashel::glj {

// Runs a command with the arguments after its name; returns the exit code.
using CommandFunction = int (*)(const std::vector<std::string>& args);

struct GljCommand {
  GljCommand(const char* name, const char* usage, CommandFunction run);
  const char* name;
  const char* usage;  // arguments, for the usage text
  CommandFunction run;
};

// Prints "glj: <message>" on standard error and returns 1, for one-line failures.
int fail(const std::string& message);

}  // namespace vashel::glj
