#pragma once

#include <QChar>

// The locale's date separator, taken from its short date form ("." for 21.10.2004, "/" for
// 10/21/04); "/" where the form has none.
QChar DateSeparator();
