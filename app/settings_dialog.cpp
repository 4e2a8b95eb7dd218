// The settings dialog's widgets; what they do is SettingsDialogModel's.
#include "app/settings_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/desktop_window.h"

namespace vashel {
namespace {

QString utf8(const char* text) { return QString::fromUtf8(text); }

}  // namespace

SettingsDialog::SettingsDialog(AppState& state, ShellPort& port, SettingsStore* store,
                               DesktopWindow* mainWindow)
    : QDialog(mainWindow), port_(port), mainWindow_(mainWindow),
      model_(state, store, ui_, *this) {
  ui_.setMainWindow(this);
  setWindowTitle(utf8("邮件设置"));
  setFont(QFont(utf8("宋体"), 9));
  // A dialog must never end the application that shows it.
  setAttribute(Qt::WA_QuitOnClose, false);
  build();
}

template <typename Widget>
Widget* SettingsDialog::add(int id, Widget* widget) {
  widget->setObjectName(QStringLiteral("control%1").arg(id));
  widget->setProperty("controlId", id);
  controls_[id] = widget;
  return widget;
}

void SettingsDialog::build() {
  auto* layout = new QVBoxLayout(this);

  auto* switches = new QGridLayout;
  const struct {
    int id;
    const char* text;
  } boxes[] = {{kDlgNoSound, "安静运行"},   {kDlgTopMost, "总在最前面"},
               {kDlgMouseTrace, "追随鼠标"}, {kDlgAlpha, "魔法转换"},
               {kDlgRememberPosition, "记住退出时的位置"}, {kDlgRandom, "任意动画"}};
  int index = 0;
  for (const auto& box : boxes) {
    auto* check = add(box.id, new QCheckBox(utf8(box.text), this));
    switches->addWidget(check, index / 2, index % 2);
    ++index;
  }
  layout->addLayout(switches);

  layout->addWidget(add(kDlgCheckMail, new QCheckBox(utf8("检查邮件"), this)));
  auto* mail = new QGridLayout;
  const struct {
    int labelId;
    const char* label;
    int editId;
  } rows[] = {{kDlgMailHostLabel, "POP3主机名", kDlgMailHost},
              {kDlgMailUserLabel, "POP3用户名", kDlgMailUser},
              {kDlgMailPasswordLabel, "POP3密码", kDlgMailPassword},
              {kDlgMailIntervalLabel, "邮件检查间隔", kDlgMailInterval}};
  int row = 0;
  for (const auto& r : rows) {
    mail->addWidget(add(r.labelId, new QLabel(utf8(r.label), this)), row, 0);
    auto* edit = add(r.editId, new QLineEdit(this));
    mail->addWidget(edit, row, 1);
    ++row;
  }
  static_cast<QLineEdit*>(controls_.at(kDlgMailPassword))->setEchoMode(QLineEdit::Password);
  auto* unit = new QLabel(utf8("秒/邮件"), this);
  unit->setObjectName(QStringLiteral("intervalUnit"));
  mail->addWidget(unit, row - 1, 2);
  layout->addLayout(mail);

  auto* note = new QLabel(utf8("按“确定”按钮，写入注册表。"), this);
  note->setObjectName(QStringLiteral("note"));
  layout->addWidget(note);

  const struct {
    int id;
    const char* text;
  } buttons[] = {{kDlgSelectAll, "全部选择"},
                 {kDlgDeleteSaved, "从注册表删除数据"},
                 {kDlgKeepSaved, "在注册表保留数据"},
                 {kDlgOk, "确定"},
                 {kDlgCancel, "取消"}};
  auto* savedRow = new QHBoxLayout;
  auto* endRow = new QHBoxLayout;
  endRow->addStretch();
  for (const auto& b : buttons) {
    auto* button = add(b.id, new QPushButton(utf8(b.text), this));
    button->setAutoDefault(false);
    (b.id == kDlgOk || b.id == kDlgCancel ? endRow : savedRow)->addWidget(button);
  }
  static_cast<QPushButton*>(controls_.at(kDlgOk))->setDefault(true);
  layout->addLayout(savedRow);
  layout->addLayout(endRow);

  for (const auto& [id, widget] : controls_) {
    if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
      const int commandId = id;
      connect(button, &QAbstractButton::clicked, this, [this, commandId] { model_.command(commandId); });
    }
  }
}

void SettingsDialog::run() {
  model_.open();
  exec();
}

QWidget* SettingsDialog::control(int id) const {
  const auto it = controls_.find(id);
  return it != controls_.end() ? it->second : nullptr;
}

void SettingsDialog::reject() { model_.command(kDlgCancel); }

bool SettingsDialog::checked(int id) const {
  const auto* box = qobject_cast<const QAbstractButton*>(control(id));
  return box != nullptr && box->isChecked();
}
void SettingsDialog::setChecked(int id, bool on) {
  if (auto* box = qobject_cast<QAbstractButton*>(control(id))) box->setChecked(on);
}
std::string SettingsDialog::text(int id) const {
  const auto* edit = qobject_cast<const QLineEdit*>(control(id));
  return edit != nullptr ? edit->text().toStdString() : std::string();
}
void SettingsDialog::setText(int id, std::string_view text) {
  if (auto* edit = qobject_cast<QLineEdit*>(control(id))) {
    edit->setText(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
  }
}
void SettingsDialog::setEnabled(int id, bool on) {
  if (QWidget* widget = control(id)) widget->setEnabled(on);
}
void SettingsDialog::close() { done(0); }

void SettingsDialog::raiseMainWindow() {
  if (mainWindow_) mainWindow_->raise();
}
void SettingsDialog::setMainWindowTopMost(bool on) { port_.setTopMost(on); }
WindowPosition SettingsDialog::mainWindowPosition() const {
  if (!mainWindow_) return {};
  const ScreenPoint p = mainWindow_->position();
  return {p.x, p.y};
}

}  // namespace vashel
