#pragma once

namespace tess::browser {

// Sets up the embedded browser's process environment. Must run before the
// QApplication is constructed, because the browser reads it only once:
// - Qt::AA_ShareOpenGLContexts, which the browser's widgets require;
// - Chromium switches appended to QTWEBENGINE_CHROMIUM_FLAGS (switches
//   already there are kept): --no-sandbox when running as root, where the
//   sandbox refuses to start, and --disable-background-networking and
//   --disable-component-update, so the browser makes no connections of its
//   own (update checks, safe-browsing lists) beside the pages it is asked
//   to load.
void prepareWebEngineEnvironment();

} // namespace tess::browser
