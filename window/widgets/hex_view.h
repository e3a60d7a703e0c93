#pragma once
// THexView: bytes as a hex dump, sixteen to a row with their offset and their characters,
// one range of them highlighted. A click on a byte tells its offset, so whoever shows the bytes
// can select what that byte belongs to.
#include <QAbstractScrollArea>
#include <cstdint>
#include <vector>

namespace r7730 {

class THexView : public QAbstractScrollArea {
    Q_OBJECT

public:
    explicit THexView(QWidget* parent = nullptr);

    void SetBytes(std::vector<std::uint8_t> bytes);
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
    // Highlights `length` bytes from `offset` and scrolls them into view; length 0 for none.
    void SetHighlight(int offset, int length);
    int HighlightOffset() const { return highlightOffset_; }
    int HighlightLength() const { return highlightLength_; }
    // Where a byte is drawn, in viewport coordinates (for a click on it).
    QRect ByteRect(int offset) const;

    QSize sizeHint() const override;

signals:
    void ByteClicked(int offset);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    static constexpr int kPerRow = 16;
    int RowHeight() const;
    int CharWidth() const;
    // The column of a byte's hex digits, in characters from the left: after the offset, with a
    // gap after the eighth byte.
    static int HexColumn(int indexInRow);
    static int TextColumn(int indexInRow);
    void UpdateScrollRange();
    int ByteAt(const QPoint& point) const;

    std::vector<std::uint8_t> bytes_;
    int highlightOffset_ = 0;
    int highlightLength_ = 0;
};

} // namespace r7730
