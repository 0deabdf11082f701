#pragma once

class QWidget;

// Window state as the settings files store it: 0 normal, 1 minimized, 2 maximized.
int WindowStateCode(const QWidget* window);
void ApplyWindowStateCode(QWidget* window, int state);
