// The settings dialog's logic over a fake view and the in-memory store: the
// controls it fills and enables, the keep button saving the settings in force
// rather than unapplied check boxes, OK and Cancel, and the printed lines.
#include "app/settings_dialog_model.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

namespace vashel {
namespace {

class FakeView final : public SettingsDialogView {
 public:
  bool checked(int id) const override { return checks.count(id) != 0 && checks.at(id); }
  void setChecked(int id, bool on) override { checks[id] = on; }
  std::string text(int id) const override { return texts.count(id) != 0 ? texts.at(id) : ""; }
  void setText(int id, std::string_view t) override { texts[id] = std::string(t); }
  void setEnabled(int id, bool on) override { enabled[id] = on; }
  void close() override { ++closed; }
  void raiseMainWindow() override { ++raised; }
  void setMainWindowTopMost(bool on) override { topMost.push_back(on); }
  WindowPosition mainWindowPosition() const override { return {321, -7}; }

  std::map<int, bool> checks, enabled;
  std::map<int, std::string> texts;
  int closed = 0, raised = 0;
  std::vector<bool> topMost;
};

class AnsweringUi final : public Ui {
 public:
  MessageResult messageBox(std::string_view caption, std::string_view text, MessageIcon,
                           MessageBoxOptions options) override {
    asked.push_back(std::string(caption) + "|" + std::string(text));
    lastOptions = options;
    return answer;
  }
  MessageResult answer = MessageResult::Ok;
  std::vector<std::string> asked;
  MessageBoxOptions lastOptions;
};

class SettingsDialogTest : public ::testing::Test {
 protected:
  SettingsDialogTest() {
    out_ = open_memstream(&buffer_, &size_);
    state_.shell.out = out_;
    Settings& s = state_.settings;
    s.nosound = 0;
    s.random = 1;
    s.topMost = 2;  // a raw stored 2 counts as on
    s.mouseTrace = 1;
    s.checkMail = 1;
    s.mailHost = "pop.example";
    s.mailUser = "\x83\x5e\x83\x8d";  // タロ in code page 932
    s.mailPassword = "secret";
    s.mailInterval = 600;
  }
  ~SettingsDialogTest() override {
    std::fclose(out_);
    std::free(buffer_);
  }
  std::string output() {
    std::fflush(out_);
    return std::string(buffer_, size_);
  }
  void click(int id, bool on) {
    view_.setChecked(id, on);
    model_.command(id);
  }

  AppState state_;
  MemorySettingsStore store_;
  AnsweringUi ui_;
  FakeView view_;
  SettingsDialogModel model_{state_, &store_, ui_, view_};
  std::FILE* out_ = nullptr;
  char* buffer_ = nullptr;
  std::size_t size_ = 0;
};

TEST_F(SettingsDialogTest, OpeningFillsTheControlsFromTheSettingsInForce) {
  view_.checks[kDlgAlpha] = true;  // junk the dialog must clear
  model_.open();
  EXPECT_TRUE(view_.checks.at(kDlgTopMost));
  EXPECT_TRUE(view_.checks.at(kDlgMouseTrace));
  EXPECT_TRUE(view_.checks.at(kDlgRandom));
  EXPECT_TRUE(view_.checks.at(kDlgCheckMail));
  EXPECT_FALSE(view_.checks.at(kDlgAlpha));
  EXPECT_FALSE(view_.checks.at(kDlgNoSound));
  EXPECT_FALSE(view_.checks.at(kDlgRememberPosition));
  EXPECT_EQ(view_.texts.at(kDlgMailHost), "pop.example");
  EXPECT_EQ(view_.texts.at(kDlgMailUser), "タロ");
  EXPECT_EQ(view_.texts.at(kDlgMailInterval), "600");
  for (const int id : kDlgMailControls) EXPECT_TRUE(view_.enabled.at(id)) << id;
  EXPECT_EQ(output(), "");
}

TEST_F(SettingsDialogTest, MailControlsAreEnabledOnlyForExactlyOneAndFollowTheBox) {
  state_.settings.checkMail = 2;
  model_.open();
  EXPECT_TRUE(view_.checks.at(kDlgCheckMail));
  for (const int id : kDlgMailControls) EXPECT_FALSE(view_.enabled.at(id)) << id;
  click(kDlgCheckMail, false);
  click(kDlgCheckMail, true);
  for (const int id : kDlgMailControls) EXPECT_TRUE(view_.enabled.at(id)) << id;
  EXPECT_EQ(model_.workingCopy().checkMail, 1);
  click(kDlgCheckMail, false);
  for (const int id : kDlgMailControls) EXPECT_FALSE(view_.enabled.at(id)) << id;
  EXPECT_EQ(state_.settings.checkMail, 2) << "only OK changes the settings in force";
}

TEST_F(SettingsDialogTest, KeepSavesTheSettingsInForceNotTheChangedBoxes) {
  model_.open();
  click(kDlgNoSound, true);
  click(kDlgRandom, false);
  click(kDlgTopMost, false);
  view_.texts[kDlgMailHost] = "mail.example";
  view_.texts[kDlgMailInterval] = " 90 ";
  EXPECT_TRUE(model_.command(kDlgKeepSaved));
  ASSERT_EQ(ui_.asked, std::vector<std::string>{"Registry|希望将当前设置保留在注册表吗？"});
  EXPECT_EQ(ui_.lastOptions.buttons, MessageButtons::OkCancel);
  EXPECT_EQ(store_.readDword("nosound"), 0u);
  EXPECT_EQ(store_.readDword("random"), 1u);
  EXPECT_EQ(store_.readDword("top_most"), 2u);
  EXPECT_EQ(store_.readDword("mouse_trace"), 1u);
  EXPECT_EQ(store_.readDword("small"), 0u);
  EXPECT_EQ(store_.readDword("pop3"), 1u);
  // The edits are read into the settings in force and saved.
  EXPECT_EQ(store_.readString("pop3host"), "mail.example");
  EXPECT_EQ(store_.readString("pop3user"), "\x83\x5e\x83\x8d");
  EXPECT_EQ(store_.readString("pop3pass"), "secret");
  EXPECT_EQ(store_.readDword("pop3interval"), 90u);
  EXPECT_EQ(state_.settings.mailHost, "mail.example");
  EXPECT_EQ(store_.readDword("winx"), 321u);
  EXPECT_EQ(store_.readDword("winy"), static_cast<std::uint32_t>(-7));
  EXPECT_EQ(store_.readDword("no_connect"), std::nullopt);
  EXPECT_EQ(view_.closed, 0) << "the dialog stays open";
  EXPECT_EQ(state_.settings.nosound, 0);

  // OK afterwards applies the boxes without saving them.
  model_.command(kDlgOk);
  EXPECT_EQ(state_.settings.nosound, 1);
  EXPECT_EQ(state_.settings.random, 0);
  EXPECT_EQ(store_.readDword("nosound"), 0u);
  EXPECT_EQ(output(),
            "sound:1  random:1\nsound:1  random:0\nsound:1  random:0\nsound:1  random:0\n"
            "  host: mail.example  user:タロ\nsound:1  random:0\n");
}

TEST_F(SettingsDialogTest, KeepAndDeleteAskFirstAndCancelKeepsEverything) {
  ui_.answer = MessageResult::Cancel;
  store_.writeDword("winx", 5);
  model_.open();
  model_.command(kDlgKeepSaved);
  model_.command(kDlgDeleteSaved);
  EXPECT_EQ(ui_.asked, (std::vector<std::string>{"Registry|希望将当前设置保留在注册表吗？",
                                                 "Registry|确定删除注册信息吗？"}));
  EXPECT_TRUE(store_.keyExists());
  EXPECT_EQ(store_.readDword("nosound"), std::nullopt);
  ui_.answer = MessageResult::Ok;
  model_.command(kDlgDeleteSaved);
  EXPECT_FALSE(store_.keyExists());
  EXPECT_EQ(view_.closed, 0);
  EXPECT_EQ(state_.settings.mailHost, "pop.example");
}

TEST_F(SettingsDialogTest, OkAppliesTheCopyAndTheEditsCancelDiscardsThem) {
  model_.open();
  click(kDlgAlpha, true);
  click(kDlgMouseTrace, false);
  view_.texts[kDlgMailInterval] = "12x";
  model_.command(kDlgCancel);
  EXPECT_EQ(view_.closed, 1);
  EXPECT_EQ(state_.settings.alpha, 0);
  EXPECT_EQ(state_.settings.mailInterval, 600u);

  model_.open();
  click(kDlgAlpha, true);
  click(kDlgMouseTrace, false);
  click(kDlgTopMost, true);
  view_.texts[kDlgMailInterval] = "12x";
  EXPECT_FALSE(model_.command(kDlgSelectAll));
  EXPECT_FALSE(model_.command(kDlgMailHost));
  model_.command(kDlgOk);
  EXPECT_EQ(view_.closed, 2);
  EXPECT_EQ(state_.settings.alpha, 1);
  EXPECT_EQ(state_.settings.mouseTrace, 0);
  EXPECT_FALSE(state_.render.view.mouseTrace);
  EXPECT_EQ(state_.settings.mailInterval, 0u) << "an invalid number reads as 0";
  EXPECT_EQ(view_.raised, 1);
  EXPECT_EQ(view_.topMost, std::vector<bool>{true});
  EXPECT_TRUE(ui_.asked.empty());
}

TEST(SettingsDialogEntry, UnsignedNumbers) {
  EXPECT_EQ(parseUnsignedEntry("600"), 600u);
  EXPECT_EQ(parseUnsignedEntry("  4294967295 "), 4294967295u);
  for (const char* bad : {"", " ", "4294967296", "-1", "1 2", "+3", "0x10", "９"}) {
    EXPECT_EQ(parseUnsignedEntry(bad), 0u) << bad;
  }
}

}  // namespace
}  // namespace vashel
