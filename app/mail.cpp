// Mail counts from the mail channel and the notice of new mail.
#include "app/shell.h"

namespace vashel {

void showMailNotice(AppState& state, ShellPort& port) {
  // The box is modal: counts that arrive while it is open would open one box
  // inside the other, without bound. Its text names no count, so the open
  // box already tells of the later mails too.
  if (state.shell.mailNoticeOpen) return;
  state.shell.mailNoticeOpen = true;
  port.ui().messageBox("POP3 NOTIFY", "新着メールあり！！");
  state.shell.mailNoticeOpen = false;
  const Action* action = state.scene.action(98);
  if (action != nullptr && action->endFrame > 0) setNewAction(state.player, state.scene, 98, {}, {});
}

void receiveMailCount(AppState& state, ShellPort& port, std::uint32_t count) {
  const bool more = count > state.settings.mailCount;
  // Remember the count before the box opens: a second report while it is
  // open must not raise a second notice for the same mails.
  state.settings.mailCount = count;
  if (more) showMailNotice(state, port);
}

}  // namespace vashel
