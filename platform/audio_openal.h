// The sound output over OpenAL Soft: one device and context for the process,
// and per slot one buffer and one source.
#pragma once

#include <array>
#include <memory>

#include "platform/audio_output.h"

namespace vashel {

class OpenAlOutput final : public AudioOutput {
 public:
  static constexpr int kSlots = 100;

  OpenAlOutput();
  ~OpenAlOutput() override;
  OpenAlOutput(const OpenAlOutput&) = delete;
  OpenAlOutput& operator=(const OpenAlOutput&) = delete;

  OpenResult open() override;
  bool ready() const override;
  bool load(int slot, const AudioLayout& layout, std::span<const char> samples) override;
  void play(int slot, long byteOffset) override;
  void stop(int slot, bool rewind) override;

 private:
  struct Device;
  std::unique_ptr<Device> device_;
};

}  // namespace vashel
