// Stand-ins for the platform's time and randomness: a clock stepped by hand
// and rand() draws given one by one.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <utility>

#include "platform/clock.h"
#include "platform/random.h"

namespace vashel::testing {

class FakeClock final : public Clock {
 public:
  std::int32_t nowMs() override { return ms; }
  std::int64_t epochSeconds() override { return seconds; }
  LocalTime localTime() override { return local; }
  std::int32_t ms = 1000;
  std::int64_t seconds = 1000000;
  LocalTime local{9, 5};
};

// Every draw must be scripted: an unexpected draw fails the test.
class ScriptedRandom final : public RandomSource {
 public:
  ScriptedRandom() = default;
  explicit ScriptedRandom(std::deque<int> draws) : values(std::move(draws)) {}
  int rand() override {
    ++drawn;
    if (values.empty()) {
      ADD_FAILURE() << "unscripted rand() draw #" << drawn;
      return 0;
    }
    const int v = values.front();
    values.pop_front();
    return v;
  }
  std::deque<int> values;
  int drawn = 0;
};

}  // namespace vashel::testing
