#include "Snapping.h"

#include <cmath>
#include <cstdlib>

namespace {
// Held in extended precision, and compared inclusively, so that angles on a bound snap the same way
// on every machine.
constexpr long double PiOver8 = 0.39269908169872415481L;
constexpr long double ThreePiOver8 = 1.1780972450961724645L;
constexpr long double FivePiOver8 = 1.963495408493620774L;
} // namespace

void SnapLineAngle(int X0, int Y0, int& X1, int& Y1) {
    if (X1 == X0 || Y1 == Y0) return;
    // The plain arc tangent of the quotient, not a four-quadrant angle: -pi/2 < a < pi/2.
    const long double a = std::atan(static_cast<long double>(Y0 - Y1) / static_cast<long double>(X1 - X0));
    if (a >= -PiOver8 && a <= PiOver8)
        Y1 = Y0;
    else if ((a >= ThreePiOver8 && a <= FivePiOver8) || (a >= -FivePiOver8 && a <= -ThreePiOver8))
        X1 = X0;
    else
        SnapDiagonal(X0, Y0, X1, Y1);
}

void SnapDiagonal(int X0, int Y0, int& X1, int& Y1) {
    const long long dx = static_cast<long long>(X1) - X0;
    const long long dy = static_cast<long long>(Y1) - Y0;
    const double L = std::sqrt(static_cast<double>(dx * dx + dy * dy) / 2.0);
    Y1 = static_cast<int>(std::trunc(Y0 > Y1 ? Y0 - L : Y0 + L));
    X1 = static_cast<int>(std::trunc(X0 < X1 ? X0 + L : X0 - L));
}

void MakeSquare(int X0, int Y0, int& X1, int& Y1) {
    const int W = std::abs(X1 - X0);
    const int H = std::abs(Y1 - Y0);
    if (W == H) return;
    if (H < W)
        X1 = X0 <= X1 ? X0 + H : X0 - H;
    else
        Y1 = Y1 >= Y0 ? Y0 + W : Y0 - W;
}
