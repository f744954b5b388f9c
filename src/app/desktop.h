#pragma once

class QWidget;

namespace app {

// The name of the program's desktop entry and icon (without ".desktop").
inline constexpr const char *kAppId = "org.metronom.Metronom";

// After the application object exists, before any window: Qt's own texts in German (Debian's
// qt6-translations-l10n), whatever the locale; the window icon painted from the artwork and the
// desktop entry's name (the application id on Wayland, so that the desktop shows
// the entry's name and icon).
void PrepareApplication();

// Fits the fixed-size window to the window system it runs on. On Wayland the window stays fixed
// even when it is asked to maximize (Qt's own title bar offers that): a compositor that maximizes
// requires the window to take the configured size, so the limit is lifted as the request goes
// out, the maximized state is refused at once and the fixed size comes back with the normal
// state. There, "immer im Vordergrund" cannot work (no client may place itself above others), and
// its tool tip says so.
void AdaptToWindowSystem(QWidget &form);

// A request to end from outside (SIGTERM at a logout or from `kill`, SIGHUP when the terminal
// goes, SIGINT from Ctrl+C) closes `window` as its close button does, so that what closing writes
// is written; a second such signal ends the program at once. Call once, from the UI thread.
void CloseOnEndSignals(QWidget &window);

} // namespace app
