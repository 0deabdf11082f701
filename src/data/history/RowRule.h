#pragma once

#include <QString>

// A condition on a script's rows and what a row that meets it for long enough shows: a look in
// the grid and, when asked, a notification.
struct RowRule {
    QString name;
    // In the filter's expression language; rate columns ("CPUTime/с") may be named too.
    QString expression;
    // How long the condition must hold for the same row (by its key) before the rule applies.
    int holdSeconds = 0;
    // "#rrggbb", or empty for the grid's own background.
    QString background;
    bool bold = false;
    // An image of the program's image list drawn in the row's first cell; -1 for none.
    int icon = -1;
    // A desktop notification and a line in the window's event list when the rule starts to apply.
    bool notify = false;
    // After a notification, the same rule stays silent for the same row this long.
    int coolDownSeconds = DefaultCoolDownSeconds;

    static constexpr int DefaultCoolDownSeconds = 300;
    friend bool operator==(const RowRule&, const RowRule&) = default;
};
