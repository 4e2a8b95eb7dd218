// Start-up of the desktop character and the glue between the Qt window, the
// frame clock and the shell's handlers.
#include "app/application.h"

#include <QActionGroup>
#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QSocketNotifier>

#include <algorithm>
#include <cstdio>

#include "anim/balloon_port.h"
#include "app/desktop_window.h"
#include "app/feed_fetcher.h"
#include "app/frame_image.h"
#include "app/loading_dialog.h"
#include "app/mail_channel.h"
#include "app/qt_tick_timer.h"
#include "app/qt_ui.h"
#include "app/settings.h"
#include "app/settings_dialog.h"
#include "app/startup_shortcut.h"
#include "app/tray_icon.h"
#include "app/tray_menu.h"
#include "app/window_exposure.h"
#include "app/window_placement.h"
#include "messages/balloon.h"
#include "messages/balloon_windows_qt.h"
#include "platform/audio_openal.h"
#include "platform/codepage.h"
#include "platform/display_mode.h"
#include "platform/gl_context.h"
#include "platform/report_signal.h"
#include "render/font.h"
#include "render/textures.h"
#include "sound/sound_table.h"
#include "xml/xml.h"

namespace vashel {
namespace {

constexpr char kDisplayName[] = "Vashel";
// Render sizes beyond this are refused: the frame is read back every tick.
constexpr int kMaxWindowSide = 4096;

// What the loader reaches while it runs on the worker thread. The main thread
// only shows the progress dialog meanwhile, so the player may be set up here.
class StartupHooks final : public LoadHooks {
 public:
  StartupHooks(AppState& state, Ui& ui) : state_(state), ui_(ui) {}

  void setDisplayMode() override {
    if (vashel::setDisplayMode(state_.render.windowWidth, state_.render.windowHeight) ==
        DisplayModeResult::Unsupported) {
      std::printf("fullscreen: changing the display mode is not supported here; the display stays as it is\n");
    }
  }
  void messageBox(std::string_view caption, std::string_view text) override {
    MessageBoxOptions options;
    options.ownedByMainWindow = true;
    ui_.messageBox(caption, convertToUtf8(kDataCodePage, text), MessageIcon::Error, options);
  }
  double startPlayback(Scene& scene, int startupSlot) override {
    return vashel::startPlayback(state_.player, scene, startupSlot);
  }
  void loadAllSounds(const Scene& scene) override {
    if (sounds != nullptr) sounds->loadAllSounds(scene);
  }

  SoundTable* sounds = nullptr;

 private:
  AppState& state_;
  Ui& ui_;
};

// The window manager's close request ends the program the way a destroyed
// window does; otherwise the character would vanish while the process kept
// running with nothing to show and no way to reach it.
class CloseEndsProgram final : public QObject {
 public:
  using QObject::QObject;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Close) QCoreApplication::quit();
    return QObject::eventFilter(watched, event);
  }
};

// The saved top-left, or the default place when it lies on no screen now.
StartPosition startPosition(std::optional<WindowPosition> saved, int width, int height) {
  const auto freeArea = [](const QScreen* screen) -> std::optional<ScreenRect> {
    if (screen == nullptr) return std::nullopt;
    const QRect r = screen->availableGeometry();
    return ScreenRect{r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
  };
  std::vector<ScreenRect> all;
  for (const QScreen* screen : QGuiApplication::screens()) all.push_back(*freeArea(screen));
  const StartScreens screens{all, freeArea(QGuiApplication::primaryScreen()),
                             freeArea(QGuiApplication::screenAt(QCursor::pos()))};
  std::optional<StartPosition> from;
  if (saved) from = StartPosition{saved->x, saved->y};
  return chooseStartPosition(from, width, height, screens);
}

}  // namespace

Application::Application(AppState& state, SettingsStore* store)
    : state_(state),
      store_(store),
      ui_(std::make_unique<QtUi>()),
      frames_(
          state.player, [this](bool scheduleNext) { drawFrame(scheduleNext); },
          [this] { return timer_ && timer_->pending(); },
          [this] { keepFrameTime(state_.player, state_.scene); }) {}

Application::~Application() = default;

Ui& Application::ui() { return *ui_; }

std::uint32_t Application::doubleClickTimeMs() const {
  return static_cast<std::uint32_t>(QApplication::doubleClickInterval());
}

bool Application::loadSceneBehindDialog() {
  StartupHooks hooks(state_, *ui_);
  hooks.sounds = sounds_.get();
  int loaded = 0;
  runLoadingDialog(state_.load.loadProgress, state_.load.loadState, [&] {
    loaded = tryLoadScene(state_.shell.sceneFileName, state_.scene, hooks, state_.load);
  }, kDisplayName);
  return loaded != 0;
}

int Application::startApplication(const std::string& sceneFileName) {
  AppState& state = state_;
  Player& player = state.player;
  state.shell.sceneFileName = sceneFileName;
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    state.shell.screenWidth = screen->geometry().width();
  }

  state.settings.random = 1;
  state.settings.mailInterval = 600;

  const auto seconds = static_cast<std::uint32_t>(clock_.epochSeconds());
  random_.seed(seconds);
  seedRandomState(player, seconds);
  timer_ = std::make_unique<QtTickTimer>([this] { frames_.tick(); });
  player.ports.time = &clock_;
  player.ports.random = &random_;
  player.ports.timer = timer_.get();
  player.menuOpen = [&state] { return state.shell.menuOpen; };
  player.nosound = [&state] { return state.settings.nosound != 0; };
  player.showPlayStats = [this](const std::string& text) { showPlayStats(state_, *this, text); };

  // The sound output exists before the window; without a device the
  // character stays silent, and only a device that cannot play is reported.
  audio_ = std::make_unique<OpenAlOutput>();
  sounds_ = std::make_unique<SoundTable>(audio_.get());
  if (sounds_->initSound() == AudioOutput::OpenResult::Unusable) {
    ui_->messageBox("ERROR, SetCooperativeLevel", "DirectSoundの初期化に失敗しました");
  }
  player.ports.sound = sounds_.get();
  player.soundEnabled = true;

  // The saved state, and where the window stood then; a first run lets the
  // character stand at the lower right of the screen.
  std::optional<WindowPosition> saved;
  if (store_ != nullptr) saved = loadSettings(*store_, state.settings, state.trayMenu);
  state.render.view.mouseTrace = state.settings.mouseTrace != 0;
  if (state.settings.small == 1) {
    state.render.windowWidth = 160;
    state.render.windowHeight = 240;
  }

  if (!loadSceneBehindDialog()) {
    MessageBoxOptions options;
    options.topMost = true;
    ui_->messageBox("ERROR", "ファイル読み込み時にエラー発生", MessageIcon::Error, options);
    return 1;
  }
  const SceneSettings& fromScene = state.scene.settings;
  if (fromScene.windowSize) {
    const auto [width, height] = *fromScene.windowSize;
    if (width > 0 && height > 0 && width <= kMaxWindowSide && height <= kMaxWindowSide) {
      state.render.windowWidth = width;
      state.render.windowHeight = height;
    } else {
      std::fprintf(stderr, "windowsize: %d x %d cannot be shown; keeping %d x %d\n", width, height,
                   state.render.windowWidth, state.render.windowHeight);
    }
  }
  if (fromScene.startupMode) {
    player.clock.playState = (*fromScene.startupMode)[0] == 0 ? kPaused : kPlaying;
    // The user's saved choice wins over the scene's.
    if (!saved) state.settings.topMost = (*fromScene.startupMode)[1];
  }
  if (fromScene.feedUrl) state.shell.feedUrl = *fromScene.feedUrl;
  state.render.view.distance = 0.0;
  state.render.view.pivot = state.scene.center;

  const auto [x, y] = startPosition(saved, state.render.windowWidth, state.render.windowHeight);
  window_ = std::make_unique<DesktopWindow>(QString::fromUtf8(kDisplayName));
  window_->setInput(this);
  window_->setMoveCallback([this](int wx, int wy) { windowMoved(state_, *this, wx, wy); });
  window_->installEventFilter(new CloseEndsProgram(window_.get()));
  // A changed display restarts the frame clock.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    QObject::connect(screen, &QScreen::geometryChanged, window_.get(), [this] {
      timer_->armTick(static_cast<int>(state_.player.clock.framePeriod));
    });
  }
  window_->resize(state.render.windowWidth, state.render.windowHeight);
  window_->moveTo(x, y);
  state.shell.windowX = x;
  state.shell.windowY = y;
  ui_->setMainWindow(window_.get());
  trayMenu_ = std::make_unique<TrayMenu>([this](int id) { handleCommand(state_, *this, id); },
                                         [this](bool open) { state_.shell.menuOpen = open; });
  trayMenu_->sync(state.trayMenu);
  // Without a context nothing can ever be drawn: a process with no visible
  // window and nothing to click would only be ended by kill.
  if (!initMainWindow()) return 1;
  if (saved) {
    // A stored 2 counts as on here, though its menu item stays unchecked.
    window_->setTopMost(state.settings.topMost != 0);
    menuChanged();
  }
  createBalloon();

  mail_ = std::make_unique<MailServer>(
      [this](std::uint32_t count) { receiveMailCount(state_, *this, count); });
  mail_->listen();
  watchReportSignal();

  window_->show();
  renderFrame(true);
  // From the first frame on, frames nobody can see are not drawn; the clock
  // keeps its time, and a redraw asked for meanwhile comes when seen again.
  new WindowExposure(window_.get(), [this](bool seen) {
    if (!frames_.setSeen(seen)) return;
    state_.render.presentRequest = true;
    frames_.renderFrame(false);
  });
  addTrayIcon();

  if (!state.shell.feedUrl.empty()) {
    state.trayMenu.insertBefore(kCmdSaveSettings, {kCmdFetchFeed, "RSSサーバへ直ちに接続", false});
    menuChanged();
    feed_->fetch(state.shell.feedUrl, FetchKind::Feed);
  }

  state.shell.messageRoot = std::make_unique<XmlElement>();
  XmlDocument messages;
  messages.clearBuffer();
  messages.loadFile("message.xml");
  messages.parse(state.shell.messageRoot.get());
  std::fputs(state.shell.messageRoot->dumpText(XmlElement::DumpTexts::Utf8).c_str(), stdout);
  player.messageRoot = state.shell.messageRoot.get();

  if (player.clock.playState == kPaused) state.trayMenu.setChecked(kCmdPause, true);
  if (state.settings.topMost == 1) {
    state.trayMenu.setChecked(kCmdTopMost, true);
    window_->setTopMost(true);
  }
  menuChanged();
  std::fflush(stdout);
  return QApplication::exec();
}

bool Application::initMainWindow() {
  AppState& state = state_;
  gl_ = std::make_unique<GlContext>();
  if (!gl_->create(state.render.windowWidth, state.render.windowHeight)) {
    std::fprintf(stderr, "OpenGL: %s\n", gl_->error().c_str());
    MessageBoxOptions options;
    options.ownedByMainWindow = true;
    ui_->messageBox("", "レンダリングコンテキスト作成失敗", MessageIcon::None, options);
    return false;
  }
  initRenderTarget(state.render, *gl_);
  uploadTextures(state.scene, state.render);
  services_.context = gl_.get();
  services_.presenter = this;
  services_.pointer = this;

  // Feed items reach the balloon through the player; text dropped on the
  // character is fetched as animation data.
  feed_ = std::make_unique<FeedFetcher>(state, *ui_);
  state.player.ports.feed = feed_->items();
  window_->setDropCallback(
      [this](const std::string& url) { feed_->fetch(url, FetchKind::Dropped); });

  startClock(state.player);
  return true;
}

void Application::createBalloon() {
  AppState& state = state_;
  balloonWindows_ = std::make_unique<QtBalloonWindows>(window_.get());
  balloon_ = std::make_unique<Balloon>(*balloonWindows_);
  balloon_->setMainWindowSize(state.render.windowWidth, state.render.windowHeight);
  balloon_->setScreenWidth(state.shell.screenWidth);
  balloonPort_ = std::make_unique<BalloonLogicPort>(state.player, *balloon_);
  balloonWindows_->setTimerCallback([this] { balloonPort_->timerTick(); });
  balloonWindows_->setLinkSource([this] { return balloon_->link(); });
  state.player.ports.balloon = balloonPort_.get();
  if (!state.shell.menuOpen) balloon_->layout(0);
  balloon_->placeBeside(state.shell.windowY, state.shell.windowX);
}

void Application::addTrayIcon() {
  QImage frame;
  if (!shownFrame_.empty()) copyFrame(shownFrame_.data(), shownWidth_, shownHeight_, frame);
  trayIcon_ = std::make_unique<TrayIcon>(
      QString::fromUtf8(kDisplayName), faceIcon(frame),
      [this](QPoint at) {
        window_->activateWindow();
        trayMenu_->popupAt(at.x(), at.y());
      },
      [this] { trayDoubleClick(state_, *this); });
  trayIcon_->show();
  if (!TrayIcon::available()) {
    std::fprintf(stderr,
                 "tray: this desktop has no notification area; a middle click on the character "
                 "opens the tray menu\n");
  }
}

void Application::watchReportSignal() {
  const int fd = openReportSignalPipe();
  if (fd < 0) return;
  auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, window_.get());
  QObject::connect(notifier, &QSocketNotifier::activated, window_.get(), [this, fd] {
    drainReportSignalPipe(fd);
    std::printf("[PAINTS] %llu frames drawn, at %d ms\n",
                static_cast<unsigned long long>(frames_.framesDrawn()), clock_.nowMs());
    std::fflush(stdout);
  });
}

void Application::renderFrame(bool scheduleNext) { frames_.renderFrame(scheduleNext); }

void Application::drawFrame(bool scheduleNext) {
  vashel::renderFrame(state_.render, state_.scene, state_.player, services_, scheduleNext);
}

void Application::present(const FrameView& frame) {
  if (!window_) return;
  // A frame like the one on screen (a held pose, a redraw while stopped)
  // costs a compare instead of a new picture, shape and upload.
  if (frame.width == shownWidth_ && frame.height == shownHeight_ &&
      std::equal(frame.bgra.begin(), frame.bgra.end(), shownFrame_.begin(), shownFrame_.end())) {
    return;
  }
  if (!window_->presentFrame(frame.bgra.data(), frame.width, frame.height)) return;
  // The read-back buffer is rewritten whole by the next frame: taking it
  // saves a copy, and the next read-back fills the one given back.
  std::vector<std::uint8_t>& readBack = state_.render.frame;
  if (frame.bgra.data() == readBack.data() && frame.bgra.size() == readBack.size()) {
    shownFrame_.swap(readBack);
  } else {
    shownFrame_.assign(frame.bgra.begin(), frame.bgra.end());
  }
  shownWidth_ = frame.width;
  shownHeight_ = frame.height;
}

ClientPoint Application::cursorPosition() {
  const QPoint p = QCursor::pos();
  return {p.x(), p.y()};
}

ScreenRect Application::windowRectangle() {
  const ScreenPoint p = window_ ? window_->position() : ScreenPoint{};
  return {p.x, p.y, p.x + state_.render.windowWidth, p.y + state_.render.windowHeight};
}

void Application::moveWindow(int x, int y) {
  if (window_) window_->moveTo(x, y);
}

void Application::showWindow(bool visible) {
  if (!window_) return;
  if (visible) {
    window_->show();
  } else {
    window_->hide();
  }
}

void Application::setTopMost(bool on) {
  if (window_) window_->setTopMost(on);
}

void Application::quit() { QCoreApplication::quit(); }

// Without a store (a run that must not touch the user's files) there is
// nothing to save to or delete.
void Application::saveSettings() {
  if (store_ == nullptr) return;
  const ScreenRect rect = windowRectangle();
  confirmAndSaveSettings(*store_, *ui_, state_, {rect.left, rect.top});
}
void Application::deleteSettings() {
  if (store_ != nullptr) confirmAndDeleteSettings(*store_, *ui_);
}

bool Application::onOpticalMedia() const { return currentDirectoryOnOpticalMedia(); }
void Application::toggleStartupShortcut() {
  toggleOwnAutostartEntry(state_.shell.sceneFileName, kDisplayName, stderr);
}

void Application::settingsDialog() {
  SettingsDialog dialog(state_, *this, store_, window_.get());
  dialog.run();
}

void Application::removeTrayIcon() {
  std::fprintf(state_.shell.out, "トレイアイコン消すよ\n");
  if (trayIcon_) trayIcon_->hide();
}
void Application::menuChanged() {
  if (trayMenu_) trayMenu_->sync(state_.trayMenu);
}

void Application::aboutBox() { showAboutBox(*this, kDisplayName); }

// Off the main thread: the window goes on animating while the server answers.
void Application::fetchFeed(const std::string& url) {
  if (feed_) feed_->fetch(url, FetchKind::Feed);
}
void Application::followMainWindow(int x, int y) {
  if (!balloon_) return;
  // The size changes with the small mode, the screen with the display.
  balloon_->setMainWindowSize(state_.render.windowWidth, state_.render.windowHeight);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    state_.shell.screenWidth = screen->geometry().width();
  }
  balloon_->setScreenWidth(state_.shell.screenWidth);
  balloon_->followMainWindow(x, y);
}

int Application::popupRateMenu(int screenX, int screenY, int rateItem) {
  QMenu menu(QString::fromUtf8("弹出菜单"));
  QAction* play = menu.addAction(QString::fromUtf8("播放"));
  play->setData(kCmdPlay);
  QAction* stop = menu.addAction(QString::fromUtf8("停止"));
  stop->setData(kCmdStop);
  QMenu* rates = menu.addMenu(QString::fromUtf8("刷新率"));
  QActionGroup group(&menu);
  const struct {
    int id;
    const char* text;
  } items[] = {{kCmdRate10, "10帧/秒"}, {kCmdRate15, "15帧/秒"}, {kCmdRate20, "20帧/秒"},
               {kCmdRate25, "25帧/秒"}, {kCmdRate30, "30帧/秒"}};
  for (const auto& item : items) {
    QAction* action = rates->addAction(QString::fromUtf8(item.text));
    action->setData(item.id);
    action->setCheckable(true);
    action->setChecked(item.id == rateItem);
    group.addAction(action);
  }
  const QAction* chosen = menu.exec(QPoint(screenX, screenY));
  return chosen != nullptr ? chosen->data().toInt() : 0;
}

void Application::mousePress(const PointerEvent& event) {
  // Without a notification area the tray menu, Exit among its commands,
  // opens from the character itself. Asked at each click: a tray may come
  // or go while the character runs.
  if (event.button == kButtonMiddle && trayMenu_ && !TrayIcon::available()) {
    trayMenu_->popupAt(event.screenX, event.screenY);
    return;
  }
  vashel::mousePress(state_, *this, event);
}
void Application::mouseRelease(const PointerEvent& event) {
  vashel::mouseRelease(state_, *this, event);
}
void Application::mouseMove(const PointerEvent& event) { vashel::mouseMove(state_, *this, event); }
void Application::mouseDoubleClick(const PointerEvent& event) {
  vashel::mouseDoubleClick(state_, *this, event);
}
void Application::mouseLeave() { vashel::mouseLeave(state_); }
void Application::keyChar(char key) { handleDebugKey(state_, *this, key); }
void Application::keyEscape() { escapeKey(state_, *this); }

}  // namespace vashel
