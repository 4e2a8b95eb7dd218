// The settings dialog's logic over its view, the settings and the store.
#include "app/settings_dialog_model.h"

#include <cstdint>
#include <cstdio>

#include "anim/player.h"
#include "platform/codepage.h"

namespace vashel {
namespace {

// Check boxes with the field each one sets in the working copy.
struct Box {
  int id;
  int Settings::*field;
};
constexpr Box kBoxes[] = {
    {kDlgNoSound, &Settings::nosound},       {kDlgTopMost, &Settings::topMost},
    {kDlgMouseTrace, &Settings::mouseTrace}, {kDlgCheckMail, &Settings::checkMail},
    {kDlgAlpha, &Settings::alpha},           {kDlgRememberPosition, &Settings::rememberPosition},
    {kDlgRandom, &Settings::random},
};

// The switches the keep button saves, from the settings in force.
struct Saved {
  int Settings::*field;
  const char* name;
};
constexpr Saved kSavedSwitches[] = {
    {&Settings::mouseTrace, "mouse_trace"}, {&Settings::alpha, "alpha"},
    {&Settings::topMost, "top_most"},       {&Settings::nosound, "nosound"},
    {&Settings::small, "small"},            {&Settings::random, "random"},
};

// Stored strings hold at most this many bytes.
constexpr std::size_t kMaxEntryBytes = 1024;

// An edit's text as code page 932 bytes, cut to the stored limit without
// splitting a double-byte character.
std::string readEntry(const SettingsDialogView& view, int id) {
  std::string bytes = convertUtf8ToShiftJis(view.text(id));
  if (bytes.size() <= kMaxEntryBytes) return bytes;
  std::size_t end = 0;
  for (std::size_t i = 0; i < kMaxEntryBytes;) {
    const std::size_t step = isShiftJisLeadByte(static_cast<unsigned char>(bytes[i])) ? 2 : 1;
    if (i + step > kMaxEntryBytes) break;
    i += step;
    end = i;
  }
  bytes.resize(end);
  return bytes;
}

std::string shown(const std::string& bytes) { return convertToUtf8(kDataCodePage, bytes); }

}  // namespace

std::uint32_t parseUnsignedEntry(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  std::size_t end = text.size();
  while (end > i && text[end - 1] == ' ') --end;
  if (i == end) return 0;
  std::uint64_t value = 0;
  for (; i < end; ++i) {
    if (text[i] < '0' || text[i] > '9') return 0;
    value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
    if (value > UINT32_MAX) return 0;
  }
  return static_cast<std::uint32_t>(value);
}

SettingsDialogModel::SettingsDialogModel(AppState& state, SettingsStore* store, Ui& ui,
                                         SettingsDialogView& view)
    : state_(state), store_(store), ui_(ui), view_(view) {}

void SettingsDialogModel::open() {
  const Settings& live = state_.settings;
  copy_ = live;
  for (const Box& box : kBoxes) view_.setChecked(box.id, live.*box.field != 0);
  setMailControlsEnabled(live.checkMail == 1);
  view_.setText(kDlgMailHost, shown(live.mailHost));
  view_.setText(kDlgMailUser, shown(live.mailUser));
  view_.setText(kDlgMailPassword, shown(live.mailPassword));
  view_.setText(kDlgMailInterval, std::to_string(live.mailInterval));
}

void SettingsDialogModel::setMailControlsEnabled(bool on) {
  for (const int id : kDlgMailControls) view_.setEnabled(id, on);
}

bool SettingsDialogModel::command(int id) {
  switch (id) {
    case kDlgOk: apply(); break;
    case kDlgCancel: view_.close(); break;
    case kDlgKeepSaved: keepSaved(); break;
    case kDlgDeleteSaved:
      if (store_ != nullptr) confirmAndDeleteSettings(*store_, ui_);
      break;
    default: {
      const Box* box = nullptr;
      for (const Box& b : kBoxes) {
        if (b.id == id) box = &b;
      }
      if (box == nullptr) return false;
      const bool on = view_.checked(id);
      copy_.*box->field = on ? 1 : 0;
      if (id == kDlgCheckMail) setMailControlsEnabled(on);
      break;
    }
  }
  std::fprintf(state_.shell.out, "sound:%d  random:%d\n", copy_.nosound, copy_.random);
  return true;
}

void SettingsDialogModel::apply() {
  Settings& live = state_.settings;
  live = copy_;
  // The view keeps its own copy of the follow-mouse switch.
  state_.render.view.mouseTrace = live.mouseTrace != 0;
  if (live.nosound == 1) {
    stopCurrentSound(state_.player);
  } else {
    startCurrentSound(state_.player);
  }
  view_.raiseMainWindow();
  if (live.topMost == 1) view_.setMainWindowTopMost(true);
  readMailEdits();
  std::fprintf(state_.shell.out, "  host: %s  user:%s\n", shown(live.mailHost).c_str(),
               shown(live.mailUser).c_str());
  view_.close();
}

void SettingsDialogModel::readMailEdits() {
  Settings& live = state_.settings;
  live.mailHost = readEntry(view_, kDlgMailHost);
  live.mailUser = readEntry(view_, kDlgMailUser);
  live.mailPassword = readEntry(view_, kDlgMailPassword);
  live.mailInterval = parseUnsignedEntry(view_.text(kDlgMailInterval));
}

// Saves the settings in force: check boxes changed since the dialog opened
// are not in them until OK, while the mail edits are read now.
void SettingsDialogModel::keepSaved() {
  if (store_ == nullptr) return;
  MessageBoxOptions options;
  options.buttons = MessageButtons::OkCancel;
  options.ownedByMainWindow = true;  // the Ui given here shows boxes on the dialog
  if (ui_.messageBox("Registry", "希望将当前设置保留在注册表吗？", MessageIcon::None, options) !=
      MessageResult::Ok) {
    return;
  }
  Settings& live = state_.settings;
  for (const Saved& s : kSavedSwitches) {
    store_->writeDword(s.name, static_cast<std::uint32_t>(live.*s.field));
  }
  readMailEdits();
  store_->writeDword("pop3", static_cast<std::uint32_t>(live.checkMail));
  store_->writeString("pop3host", live.mailHost);
  store_->writeString("pop3user", live.mailUser);
  store_->writeString("pop3pass", live.mailPassword);
  store_->writeDword("pop3interval", live.mailInterval);
  const WindowPosition window = view_.mainWindowPosition();
  store_->writeDword("winx", static_cast<std::uint32_t>(window.x));
  store_->writeDword("winy", static_cast<std::uint32_t>(window.y));
}

}  // namespace vashel
