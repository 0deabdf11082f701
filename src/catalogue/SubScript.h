#pragma once

#include "app/ServiceClasses.h"

#include <QString>

// One item of a command menu as the menu file stores it: Name, Id and ScriptFile of the base, the
// column whose value the command's script receives, and the show-result flag.
class TSubScript : public TSensor {
public:
    // 0 or 1 as the editors write it; a reader takes any value whose low 8 bits are not all zero
    // as set.
    int ShowResult = 0;
    QString IdField;
};
