#pragma once
// Running statistics of whole numbers (RSSI in dBm, quality in percent): count, minimum,
// maximum, mean and the population standard deviation, kept in constant space so a sample is
// added in constant time however long the session runs.
#include <cstdint>
#include <optional>

namespace r7730 {

class TValueStatistics {
public:
    void Add(int value);
    int Count() const { return count_; }
    // Absent while nothing was added.
    std::optional<int> Minimum() const;
    std::optional<int> Maximum() const;
    std::optional<double> Mean() const;
    // Population standard deviation (divided by N, not N - 1).
    std::optional<double> StandardDeviation() const;
    bool operator==(const TValueStatistics&) const = default;

private:
    int count_ = 0;
    int minimum_ = 0;
    int maximum_ = 0;
    std::int64_t sum_ = 0;
    std::int64_t sumOfSquares_ = 0;
};

} // namespace r7730
