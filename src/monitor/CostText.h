#pragma once

#include <QString>

struct RefreshCost;

// The cost panel's short text: the run's duration on the server, its share of the interval, what
// the server counted, and the worker's interval while stretched.
QString CostPanelText(const RefreshCost& cost);
// The same at length, for the panel's tool tip.
QString CostToolTip(const RefreshCost& cost);
