// The installed fonts draw the menus (Simplified Chinese) and the character's
// messages (Japanese): no character falls back to an empty box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QGlyphRun>
#include <QTextLayout>

#include "app/menu_model.h"
#include "platform/codepage.h"

namespace vashel {
namespace {

// The characters of `text` that the application font, with Qt's fallbacks,
// draws as the missing-glyph box (glyph 0).
QString charactersWithoutGlyph(const QString& text) {
  QString missing;
  for (const QChar c : text) {
    if (c.isSpace() || c.isHighSurrogate() || c.isLowSurrogate()) continue;
    QTextLayout layout(QString(c), QApplication::font());
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    for (const QGlyphRun& run : layout.glyphRuns()) {
      for (const quint32 glyph : run.glyphIndexes()) {
        if (glyph == 0 && !missing.contains(c)) missing += c;
      }
    }
  }
  return missing;
}

TEST(FontsTest, MenusAndMessagesHaveGlyphs) {
  QString menus;
  const MenuModel tray = MenuModel::trayMenu();
  for (const MenuItem& item : tray.items()) menus += QString::fromStdString(item.text);
  menus += QString::fromUtf8("弹出菜单播放停止刷新率10帧/秒");
  EXPECT_EQ(charactersWithoutGlyph(menus).toStdString(), "") << "no CJK font (scripts/deps.sh)";

  QFile file(QStringLiteral(VASHEL_SAMPLE_DIR "/data.glj.txt"));
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray bytes = file.readAll();
  const QString messages = QString::fromStdString(
      convertToUtf8(kDataCodePage, std::string_view(bytes.constData(), bytes.size())));
  ASSERT_GT(messages.size(), 100);
  EXPECT_EQ(charactersWithoutGlyph(messages).toStdString(), "") << "no CJK font (scripts/deps.sh)";
}

}  // namespace
}  // namespace vashel
