#pragma once

#include <QString>
#include <QStringList>

struct RateProblems;

// What kept the per-second rates from a refresh, as the message panel tells it; empty when
// nothing did.
QString RateProblemsMessage(const RateProblems& problems);

// What kept the marking of changes from matching rows by their keys; empty when nothing did.
QString MarkProblemsMessage(const QStringList& missingKeyColumns, int repeatedKeyRows);
