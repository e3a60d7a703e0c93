#pragma once
// Bars of how crowded each WiFi channel is: one bar per channel with the number of access
// points on it, coloured by the strongest of them, over a pale bar of the access points within
// two channels either side (a 20 MHz channel overlaps them); the channel called the quietest
// is picked out and named.
#include <QWidget>
#include <optional>
#include <vector>

namespace r7730 {

struct TChannelBar {
    int channel = 0;
    int accessPoints = 0;
    std::optional<int> strongest; // dBm
    int withinReach = 0;
};

class TChannelBars : public QWidget {
    Q_OBJECT

public:
    explicit TChannelBars(QWidget* parent = nullptr);

    // quietest: the channel to pick out, 0 for none.
    void SetBars(std::vector<TChannelBar> bars, int quietest);
    const std::vector<TChannelBar>& Bars() const { return bars_; }
    int Quietest() const { return quietest_; }

    QSize sizeHint() const override { return {420, 180}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<TChannelBar> bars_;
    int quietest_ = 0;
};

} // namespace r7730
