#include "Sibling.h"
#include "../app/Utils.h"
