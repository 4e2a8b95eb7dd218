// Message boxes as the shell and the subsystems ask for them. The desktop
// build shows real boxes (QtUi); tests substitute a fake that records.
#pragma once

#include <string_view>

namespace vashel {

enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageButtons { Ok, OkCancel };
enum class MessageResult { Ok, Cancel };

struct MessageBoxOptions {
  MessageButtons buttons = MessageButtons::Ok;
  bool ownedByMainWindow = false;  // centred on and modal to the character's window
  bool topMost = false;            // kept above every other window
};

class Ui {
 public:
  virtual ~Ui() = default;
  // Shows a modal box and returns the button pressed; closing the box counts
  // as Cancel when there is one, else as Ok. Texts are UTF-8. May be called
  // from any thread: the box itself always lives on the main thread.
  virtual MessageResult messageBox(std::string_view caption, std::string_view text,
                                   MessageIcon icon = MessageIcon::None,
                                   MessageBoxOptions options = {}) = 0;
};

}  // namespace vashel
