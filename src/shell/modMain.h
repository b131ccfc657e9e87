// Free routines shared by the whole program.
#pragma once

#include <QString>

class QWidget;

namespace tidyfox::shell {
class frmMain;
}

namespace tidyfox::shell::modMain {

// Alert kinds, as the movie's three alert styles.
inline constexpr int kAlertCritical = 16;
inline constexpr int kAlertExclamation = 48;
inline constexpr int kAlertInformation = 64;

// The one window the routines act on.
void setMainWindow(frmMain *window);

// Hides the grid and shows the movie's alert panel; returns at once.
void ShowAlert(const QString &text, int kind, const QString &title);

// Moves the window with the pointer until the button is released.
void DragWindow(QWidget *window);

// A byte count as a short text with its unit, in the user's locale.
QString FormatFileSize(float size);

} // namespace tidyfox::shell::modMain
