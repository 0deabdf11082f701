#pragma once

class QWidget;

// Centres a dialog over the main window of its owner, kept on the owner's screen. Called from the
// dialog's show event, before it is mapped, so it never appears elsewhere first.
void CentreOnMainWindow(QWidget* dialog);
