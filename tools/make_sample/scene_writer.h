// Turns the sample scene into scene-file text, and scrambles that text line
// by line for the `j` variant (data.glj).
#pragma once

#include <string>
#include <string_view>

#include "tools/make_sample/sample_scene.h"

namespace vashel::sample {

// A number with at most `decimals` decimals, trailing zeros dropped, never
// "-0": the same text on every run and every machine with IEEE doubles.
std::string formatNumber(double value, int decimals = 4);

// The plain text, LF line ends. Every line is printable ASCII.
std::string sceneText(const SampleScene& scene);

// Each line stored so that the reader's descrambling (swap bytes i and
// n - 2 - i for even i below n / 2, then add 1 to every byte) gives it back.
std::string scrambleLine(std::string_view line);
std::string scrambleText(std::string_view text);

}  // namespace vashel::sample
