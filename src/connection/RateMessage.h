#pragma once

#include <QString>

struct RateProblems;

// What kept the per-second rates from a refresh, as the message panel tells it; empty when
// nothing did.
QString RateProblemsMessage(const RateProblems& problems);
