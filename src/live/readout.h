#pragma once

// The live display as words, for screen readers: the readings of the channels the meter has,
// the thermocouple type, and the lit symbols under their everyday names.

#include "live/framedecoder.h"

#include <QString>
#include <QStringList>

namespace live {

// "°C", "°F" or "K".
QString unitSymbol(TempUnit unit);
// 'C', 'F' or 'K', as data files and exports name the unit.
char unitLetter(TempUnit unit);

// "T1 23.7 °C, T2 25.3 °C, type K": channels 1..channelCount (1, 2 or 4; anything else
// gives none), range marks without a unit ("T1 OL"), the type left out until one is known.
QString readingsText(const ReadingText& readings, int channelCount, TempUnit unit, QChar type);

// What a symbol of the glass is called out loud ("battery", "auto power off", "hold"); empty
// for an unknown name.
QString symbolSpokenName(QStringView annunciatorName);

// The lit symbols a listener needs besides the readings, in the order of kAnnunciators, each
// once: the battery counts its bars ("battery 3 of 4"); channel marks, points, colons, minus
// signs, units and type letters are left out, as the readings already say them.
QStringList litSymbolNames(const DisplayState& state);

} // namespace live
