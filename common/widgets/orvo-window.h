// Window helpers shared by the windowed programs.
#pragma once
class QWidget;

// Puts the window in the middle of the primary screen.
void CentreOnDesktop(QWidget *w);

// Keeps the title bar's usual buttons but the maximize button. A plain window states no
// buttons at all (the window manager then shows its own), so they are named explicitly.
void RemoveMaximizeButton(QWidget *w);
