// Apparent positions of the sun and the moon, the moon's phase, age and
// distance, and the daily rise, set and transit of both, after J. Meeus,
// Astronomical Algorithms. Degrees throughout; observer longitude is positive
// WEST, as in a location record. No correction from dynamical to universal
// time is made: the few seconds it is worth are far below what is shown.
#pragma once

#include "platform/rtl/SysUtils.h"

#include <vector>

class E_NoRiseSet : public Exception {
public:
    E_NoRiseSet() : Exception("No rises or sets calculable") {}
};

double NormalizeDegrees(double x); // [0, 360)
double SinDegrees(double x);
double CosDegrees(double x);
double TanDegrees(double x);
double ArcSinDegrees(double x); // the argument is clamped to [-1, 1]
double ArcCosDegrees(double x); // the argument is clamped to [-1, 1]
double ArcTanDegrees(double x);
double ArcTan2Degrees(double y, double x);

struct TPosition {
    long double Longitude = 0; // ecliptic
    long double Latitude = 0;
    long double Distance = 0; // km
    long double RightAscension = 0;
    long double Declination = 0;
    long double Parallax = 0; // horizontal; set by the topocentric step only
};

double DateTimeToJulianDay(TDateTime dt); // 0 on or before 14 October 1582
double MeanSiderealDegrees(TDateTime ut);

// Nutation in longitude and obliquity, in arc seconds.
struct TNutation {
    double DeltaPsi = 0;
    double DeltaEpsilon = 0;
    double TrueObliquity = 0; // degrees
};
TNutation Nutation(TDateTime dt);

void ApplyNutationToEquatorial(TPosition& pos, TDateTime dt);
TPosition ComputeSunPosition(TDateTime dt);
// The moon's geometric ecliptic position, before nutation, and the three
// periodic sums (millionths of a degree, thousandths of a km).
struct TMoonSums {
    double SumL = 0, SumB = 0, SumR = 0;
};
TPosition MoonGeometric(TDateTime dt, TMoonSums* sums = nullptr);
TPosition ComputeMoonPosition(TDateTime dt);
void ApplyTopocentricParallax(TPosition& pos, double heightMetres, double longitude,
                              double latitude, TDateTime dt);

double LunarPhaseAngle(TDateTime dt); // -180..180, negative while waning
double LunarAgeDays(TDateTime dt);
double LunarIlluminatedFraction(TDateTime dt);
double LunarDistanceKm(TDateTime dt);

double InterpolateThreePoint(double n, double y1, double y2, double y3);

enum class TRiseSetKind { Rise, Set, Transit };
// The first event of its kind inside the day of theta0, as a fraction of that
// day (0 <= result < 1), from the body's right ascensions and declinations at
// 0 h of the day before, the day and the day after. Raises E_NoRiseSet when
// the body does not cross the altitude h0 that day, or has no such event in it.
double RiseSetTransitDayFraction(TRiseSetKind kind, double theta0, const double alpha[3],
                                 const double delta[3], double h0, double longitude,
                                 double latitude);

// Every rise, set and upper transit of the sun or the moon within the UT day
// of ut, each list in time order. Near the polar circles a day can hold a set
// before its rise, two of a kind, or none.
struct TDayEvents {
    std::vector<TDateTime> Rises, Sets, Transits;
    bool CrossesHorizon() const { return !Rises.empty() || !Sets.empty(); }
};
TDayEvents RiseSetTransitEvents(bool isSun, double longitude, double latitude, TDateTime ut);

// The first event of the kind in the UT day of ut. Raises E_NoRiseSet when
// the body does not cross h0 that day or has no such event in it.
TDateTime ComputeRiseSetTransit(bool isSun, TRiseSetKind kind, double longitude, double latitude,
                                TDateTime ut);

TDateTime SunriseTime(double longitude, double latitude, TDateTime ut);
TDateTime SunsetTime(double longitude, double latitude, TDateTime ut);
TDateTime SunTransitTime(double longitude, double latitude, TDateTime ut);
TDateTime MoonriseTime(double longitude, double latitude, TDateTime ut);
TDateTime MoonsetTime(double longitude, double latitude, TDateTime ut);
TDateTime MoonTransitTime(double longitude, double latitude, TDateTime ut);
