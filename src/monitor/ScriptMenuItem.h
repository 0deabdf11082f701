#pragma once

#include "app/ServiceClasses.h"

#include <QString>

// One command of a monitor window's command menu. The texts inherited from TSensor stay empty.
class TScriptMenuItem : public TSensor {
public:
    QString Caption;
    // The command's identifier (field 2 of its menu value): the script's options may mark it dangerous.
    QString CommandId;
    // Resolved against the program folder when the command runs.
    QString CommandFile;
    // The result column whose value goes into the script; empty means no substitution.
    QString IdField;
    // Only the low 8 bits count: the command shows its rows when they are not all zero.
    qint32 ShowResult = 0;
};
