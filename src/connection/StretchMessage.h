#pragma once

#include <QString>

// The message field's news of the worker's interval: stretched from the operator's setting, and back.
QString StretchedMessage(int setting, int stretched);
QString StretchEndedMessage(int setting);
