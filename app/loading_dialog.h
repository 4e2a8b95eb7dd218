// The loading-progress dialog: the scene loads on a worker thread while the
// main thread, which owns every window, shows how far it has got.
#pragma once

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>

namespace vashel {

// Runs `work` on its own thread and meanwhile shows a small dialog titled
// `title` (UTF-8), centred on the primary screen, with one progress bar.
// Every 100 ms the bar takes `progress` (0..100); the dialog ends when
// `state` is negative, or when `work` has returned without saying so (a
// loader that forgot would otherwise leave the program waiting for ever).
// Prints "スタートアップダイアログ, ww=%d, hh=%d\n" with the dialog's size when
// it is shown and "続きです\n" when it ends, then flushes `out`. Returns once
// the worker has ended, serving the main thread's events until then so that
// the worker may still ask for a message box; rethrows what `work` threw.
// Needs a QApplication; call on the main thread.
void runLoadingDialog(std::atomic<int>& progress, std::atomic<int>& state,
                      std::function<void()> work, const std::string& title = "Vashel",
                      std::FILE* out = stdout);

}  // namespace vashel
