// The strip chart draws at most one point per pixel column: the readings that fall in a column
// reduce to their lowest, highest and last value, and a missing value breaks the line.
#include <gtest/gtest.h>
#include <optional>
#include <vector>

#include "window/widgets/strip_chart.h"

using namespace r7730;

namespace {

struct TReading {
    qint64 msecs;
    std::optional<int> value;
};

// One series of readings, as the survey's session hands them to the chart.
class TReadings : public IStripChartData {
public:
    explicit TReadings(std::vector<TReading> readings) : readings_(std::move(readings)) {}
    qsizetype PointCount() const override { return static_cast<qsizetype>(readings_.size()); }
    qint64 TimeAt(qsizetype index) const override { return readings_[index].msecs; }
    std::optional<int> ValueAt(int, qsizetype index) const override { return readings_[index].value; }

private:
    std::vector<TReading> readings_;
};

struct TReductionCase {
    const char* rule;
    std::vector<TReading> readings;
    qsizetype first;
    std::vector<TChartRun> runs;
};

} // namespace

TEST(StripChartColumns, ReadingsReduceToOnePointPerColumnAndBreakAtMissingValues)
{
    // A second over eleven columns from x = 10: a column is 100 ms wide.
    const TTimeColumns columns{0, 1000, 10, 11};
    const std::vector<TReductionCase> cases = {
        {"readings in one column keep their lowest, highest and last", {{0, 5}, {50, -3}, {99, 2}}, 0,
         {{{10, -3, 5, 2}}}},
        {"each column holds its own readings", {{0, 1}, {100, 2}, {250, 3}, {1000, 4}}, 0,
         {{{10, 1, 1, 1}, {11, 2, 2, 2}, {12, 3, 3, 3}, {20, 4, 4, 4}}}},
        {"a missing value ends the run", {{0, 1}, {100, std::nullopt}, {200, 3}}, 0,
         {{{10, 1, 1, 1}}, {{12, 3, 3, 3}}}},
        {"a missing value inside a column closes it", {{0, 1}, {10, std::nullopt}, {20, 4}, {30, 6}}, 0,
         {{{10, 1, 1, 1}}, {{10, 4, 6, 6}}}},
        {"missing values at either end leave no empty run",
         {{0, std::nullopt}, {100, std::nullopt}, {200, 7}, {300, std::nullopt}}, 0, {{{12, 7, 7, 7}}}},
        {"only missing values draw nothing", {{0, std::nullopt}, {500, std::nullopt}}, 0, {}},
        {"no readings draw nothing", {}, 0, {}},
        {"readings before the first one shown are left out", {{0, 9}, {100, 8}, {200, 7}}, 2, {{{12, 7, 7, 7}}}},
    };
    for (const TReductionCase& test : cases) {
        const TReadings readings(test.readings);
        EXPECT_EQ(ReduceToColumns(readings, 0, test.first, columns), test.runs) << test.rule;
    }
}
