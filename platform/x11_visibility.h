// Whether the X server reports a window fully covered: by other windows, or
// by a screen locker's. Qt keeps a covered window "exposed", so the report
// is asked of the server directly. Under a compositor windows are never
// reported covered.
#pragma once

#include <functional>
#include <memory>

class QWidget;

namespace vashel {

class CoverWatch {
 public:
  // `changed` gets true when the window becomes fully covered, false when
  // any of it shows again.
  explicit CoverWatch(std::function<void(bool covered)> changed);
  ~CoverWatch();
  CoverWatch(const CoverWatch&) = delete;
  CoverWatch& operator=(const CoverWatch&) = delete;

  // Asks for visibility reports on the window's X window. Call after each
  // show: Qt may have made a new X window. Does nothing outside X11.
  void watch(QWidget& window);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vashel
