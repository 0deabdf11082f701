#include "app/Utils.h"
#include "shell/FormMain.h"
#include "ui_Lower.h"
