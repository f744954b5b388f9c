#pragma once
#include <QByteArray>
#include <QPoint>
#include <QSize>
#include <QString>
#include <functional>

class QWidget;

// Small helpers for paths, file names, messages and window placement.
namespace app {

// True when the path names a regular file (or a link to one) that can be opened for reading;
// anything else (missing, a folder, a FIFO, a device, a link loop) gives false, without blocking.
bool FileExists(const QString &path);

// Makes `path` end in the platform's folder separator and returns it; an empty path becomes the
// separator alone.
QString &AddBackslash(QString &path);

// The name without its last "." and what follows it; unchanged when there is no "." or the "." is
// the last character.
QString StripExtension(const QString &name);

// Message kinds: 1 information, 2 warning, 3 critical, 4 question; any other kind shows nothing.
enum MessageKind { kInformation = 1, kWarning = 2, kCritical = 3, kQuestion = 4 };

// Shows a modal box with one OK button. An empty `title` becomes the application title (the
// caller's variable too).
void ShowMessage(const QString &message, int kind, QString &title);

// Where ShowMessage sends its boxes. Tests put a recorder here so that no modal box blocks them;
// an empty function restores the real box.
using MessageSink = std::function<void(const QString &message, int kind, const QString &title)>;
void SetMessageSink(MessageSink sink);
// Hands a message to the sink when one is set (boxes of other kinds, such as the sound device's,
// use kind 0); false when none is set and the caller shows its own box.
bool SendToMessageSink(const QString &message, int kind, const QString &title);

// Top-left corner, in twips, that centres a window horizontally on the screen and vertically
// within the upper nine tenths of it, never above or left of the screen's corner.
QPoint CenterForm(QSize screenTwips, QSize windowTwips);
// Places a top-level window so.
void CenterForm(QWidget *window);

// Shows a window that may be minimized or covered in front of the others and asks for the focus
// (a window manager may refuse to hand it over). Nothing for null. `activationToken`: the token a
// Wayland launcher gave the start that asks for it, without which a compositor keeps the window
// where it is.
void BringToFront(QWidget *window, const QByteArray &activationToken = {});

// Makes a window stay above all others, or releases it.
void SetTopMost(QWidget *window, bool onTop);

} // namespace app
