// sin, cos and atan2 that give the same bits on every processor, compiler
// and optimisation level: SLEEF's plain C versions without fused
// multiply-add (1 ulp), for everything a round computes with them. The C
// library's own may differ in the last bit between machines (glibc picks an
// FMA version on processors that have it), and one bit can turn a fly.
#pragma once

double portableSin(double x);
double portableCos(double x);
double portableAtan2(double y, double x);
