#pragma once

#include <functional>

class QCompleter;

// Enter on an open completion list accepts the chosen value and closes the list, and there the key
// ends: the dialog behind never sees it. After this, the same Enter goes on to press, once the value
// is in its box.
void PassEnterOnAfterCompletion(QCompleter* completer, std::function<void()> press);
