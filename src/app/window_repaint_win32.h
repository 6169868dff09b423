#pragma once
// How a worker's result reaches the window: each status change is published
// to the result board, then the window is asked to repaint.
#include "base/check_result.h"

namespace rw::app {

// Invalidates the main window's client area without erasing. The window
// thread paints once its queue is empty; nobody waits for it.
void repaintMainWindow(void* context);

// Makes a worker's private result publish to the board and repaint the window.
void publishToWindow(CheckResult& result);

}  // namespace rw::app
