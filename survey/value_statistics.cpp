#include "survey/value_statistics.h"

#include <algorithm>
#include <cmath>

namespace r7730 {

void TValueStatistics::Add(int value)
{
    minimum_ = count_ == 0 ? value : std::min(minimum_, value);
    maximum_ = count_ == 0 ? value : std::max(maximum_, value);
    ++count_;
    sum_ += value;
    sumOfSquares_ += static_cast<std::int64_t>(value) * value;
}

std::optional<int> TValueStatistics::Minimum() const
{
    return count_ ? std::optional<int>(minimum_) : std::nullopt;
}

std::optional<int> TValueStatistics::Maximum() const
{
    return count_ ? std::optional<int>(maximum_) : std::nullopt;
}

std::optional<double> TValueStatistics::Mean() const
{
    return count_ ? std::optional<double>(static_cast<double>(sum_) / count_) : std::nullopt;
}

std::optional<double> TValueStatistics::StandardDeviation() const
{
    if (!count_)
        return std::nullopt;
    // Whole numbers summed exactly: N * sum(x^2) - (sum x)^2 has no rounding until the division.
    const double spread = static_cast<double>(count_ * sumOfSquares_ - sum_ * sum_);
    return std::sqrt(std::max(spread, 0.0)) / count_;
}

} // namespace r7730
