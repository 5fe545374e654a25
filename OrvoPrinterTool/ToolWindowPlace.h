#pragma once
class QWidget;

// Puts the window in the middle of the primary screen.
void CentreOnDesktop(QWidget *w);
