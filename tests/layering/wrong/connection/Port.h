#include "app/Guarded.h"
#include "monitor/FormMon.h"
