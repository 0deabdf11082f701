#include "connection/Connect.h"

TConnect* Connect = nullptr;
