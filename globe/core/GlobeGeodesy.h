#pragma once
// Ellipsoidal distance and the sun's place for the day/night shadow.
#include "globe/core/GlobeUnits.h"

// Distance in GU along the geodesic of the spheroid, for every pair of
// points (over a pole and nearly antipodal ones too), to well under a
// millimetre of the ellipsoid's own geodesic.
int32_t GlobeDistance(TSpheroid spheroid, const GlobePoint& a, const GlobePoint& b);
// The same, unrounded, in GU.
extended GlobeDistanceExact(TSpheroid spheroid, const GlobePoint& a, const GlobePoint& b);

// Days since 1899-12-30 of a civil date, and back.
int64_t GlobeDayNumber(int year, int month, int day);
void GlobeCivilDate(int64_t dayNumber, int& year, int& month, int& day);

// The point under the sun at a UTC date and time (day count, day 0 =
// 1899-12-30).
GlobePoint SubSolarPoint(double utcDateTime);

enum class TDayState { Lit, Twilight, Night };
// Lit, twilight (within about six degrees past the terminator) or night at p.
TDayState DayState(const GlobePoint& subSolar, const GlobePoint& p);
