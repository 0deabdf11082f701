#include "catalogue/MenuFile.h"
#include "connection/MonitorPort.h"
