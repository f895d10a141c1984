// A sum of doubles for the stand-ins' means and totals: compensated, so that
// small terms beside large ones are not lost, and kept a second time scaled
// down by a power of two, so that a total whose partial sums overflow, or a
// mean of values near the largest double, can still be formed when it is
// finite itself.
#ifndef TQVS_SUM_H
#define TQVS_SUM_H

#include <cmath>
#include <cstddef>

namespace tqvs {

class Sum {
  public:
    // `terms` bounds how many terms the sum holds at one time (a running
    // window holds one more for a moment): the scaled copy cannot overflow
    // while it holds no more.
    explicit Sum(std::size_t terms) {
        while (scale_ < 1000 && std::ldexp(1.0, scale_) < 2.0 * (static_cast<double>(terms) + 1))
            ++scale_;
    }

    void add(double x) {
        plain_.add(x);
        scaled_.add(std::ldexp(x, -scale_));
    }
    void subtract(double x) { add(-x); }
    void clear() {
        plain_ = Part();
        scaled_ = Part();
    }

    // The total, infinite only when the total is beyond the doubles.
    double total() const {
        const double plain = plain_.value();
        return std::isfinite(plain) ? plain : std::ldexp(scaled_.value(), scale_);
    }
    // The total divided by n, finite whenever that quotient is.
    double mean(double n) const {
        const double plain = plain_.value();
        if (std::isfinite(plain))
            return plain / n;
        return std::ldexp(scaled_.value() / n, scale_);
    }

  private:
    // Neumaier's compensated sum.
    struct Part {
        double sum = 0;
        double lost = 0;
        void add(double x) {
            const double t = sum + x;
            lost += std::fabs(sum) >= std::fabs(x) ? (sum - t) + x : (x - t) + sum;
            sum = t;
        }
        double value() const {
            // Once a partial sum overflowed, the compensation is no number.
            return std::isfinite(sum) && std::isfinite(lost) ? sum + lost : sum;
        }
    };
    Part plain_;
    Part scaled_;
    int scale_ = 0;
};

} // namespace tqvs

#endif
