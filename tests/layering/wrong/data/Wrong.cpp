#include "data/Query.h"
#include "monitor/FormMon.h"
#include "platform/IniFile.h"
#include <QString>
