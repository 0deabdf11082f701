#pragma once

#include <QFont>

// Result tables and scripts line up in columns only where every character takes the same room. Some
// monospaced fonts do not call themselves fixed pitch, so the advances themselves are what counts.
bool HasEvenAdvances(const QFont& font);

// The wanted font where its advances are even, else the system's fixed font at the wanted size, else
// the generic monospace family at that size.
QFont EvenAdvanceFont(const QFont& wanted);
