#include "app/Utils.h"
#include "app/shell/FormMain.h"
#include "ui_Lower.h"
