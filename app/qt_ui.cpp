// QMessageBox behind the Ui interface, reached from any thread.
#include "app/qt_ui.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

namespace vashel {
namespace {

QMessageBox::Icon qtIcon(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::Information: return QMessageBox::Information;
    case MessageIcon::Warning: return QMessageBox::Warning;
    case MessageIcon::Error: return QMessageBox::Critical;
    case MessageIcon::Question: return QMessageBox::Question;
    case MessageIcon::None: break;
  }
  return QMessageBox::NoIcon;
}

QString fromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

MessageResult QtUi::messageBox(std::string_view caption, std::string_view text, MessageIcon icon,
                               MessageBoxOptions options) {
  const QString qCaption = fromUtf8(caption);
  const QString qText = fromUtf8(text);
  QCoreApplication* app = QCoreApplication::instance();
  if (app == nullptr) return MessageResult::Cancel;  // no GUI at all
  if (QThread::currentThread() == app->thread()) {
    return showOnMainThread(qCaption, qText, icon, options);
  }
  // Widgets may only be touched on the main thread (the feed and loader
  // threads report failures too): run the box there and wait for it.
  MessageResult result = MessageResult::Cancel;
  QMetaObject::invokeMethod(
      app, [&] { result = showOnMainThread(qCaption, qText, icon, options); },
      Qt::BlockingQueuedConnection);
  return result;
}

MessageResult QtUi::showOnMainThread(const QString& caption, const QString& text,
                                     MessageIcon icon, MessageBoxOptions options) {
  QWidget* owner = options.ownedByMainWindow ? mainWindow_.data() : nullptr;
  QMessageBox box(qtIcon(icon), caption, text, QMessageBox::NoButton, owner);
  box.addButton(QMessageBox::Ok);
  if (options.buttons == MessageButtons::OkCancel) {
    box.addButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
  } else {
    box.setEscapeButton(QMessageBox::Ok);
  }
  box.setDefaultButton(QMessageBox::Ok);
  if (options.topMost) box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  // A box must never end the application that shows it.
  box.setAttribute(Qt::WA_QuitOnClose, false);
  const int pressed = box.exec();
  return pressed == QMessageBox::Ok ? MessageResult::Ok
         : options.buttons == MessageButtons::Ok ? MessageResult::Ok
                                                 : MessageResult::Cancel;
}

}  // namespace vashel
