#include "base/portmath.h"

#include <sleef.h>

double portableSin(double x) { return Sleef_cinz_sind1_u10purec(x); }
double portableCos(double x) { return Sleef_cinz_cosd1_u10purec(x); }
double portableAtan2(double y, double x) { return Sleef_cinz_atan2d1_u10purec(y, x); }
