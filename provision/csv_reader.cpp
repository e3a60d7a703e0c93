// CSV records read character by character (see csv_reader.h).
#include "provision/csv_reader.h"

#include <algorithm>

namespace r7730::provision {
namespace {

bool IsBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

class TCsvScanner {
public:
    explicit TCsvScanner(const QString& text) : text_(text) {}

    std::vector<TCsvRecord> Records()
    {
        std::vector<TCsvRecord> records;
        while (pos_ < text_.size())
            records.push_back(Record());
        while (!records.empty() && IsBlankLine(records.back()))
            records.pop_back();
        return records;
    }

private:
    static bool IsBlankLine(const TCsvRecord& record)
    {
        if (record.cells.size() != 1 || record.cells.front().quoted)
            return false;
        const QString& text = record.cells.front().text;
        return std::all_of(text.begin(), text.end(), IsBlank);
    }

    bool AtEnd() const { return pos_ >= text_.size(); }
    QChar At(qsizetype pos) const { return pos < text_.size() ? text_[pos] : QChar(); }
    // The length of the line end at pos (CRLF or LF), 0 when none stands there.
    int LineEndAt(qsizetype pos) const
    {
        if (At(pos) == QLatin1Char('\n'))
            return 1;
        return At(pos) == QLatin1Char('\r') && At(pos + 1) == QLatin1Char('\n') ? 2 : 0;
    }
    bool AtCellEnd() const { return AtEnd() || At(pos_) == QLatin1Char(',') || LineEndAt(pos_) > 0; }

    TCsvRecord Record()
    {
        TCsvRecord record;
        record.line = line_;
        for (;;) {
            record.cells.push_back(Cell());
            if (AtEnd())
                return record;
            if (At(pos_) == QLatin1Char(',')) {
                ++pos_;
                continue;
            }
            pos_ += LineEndAt(pos_);
            ++line_;
            return record;
        }
    }

    TCsvCell Cell()
    {
        qsizetype first = pos_;
        while (IsBlank(At(first)))
            ++first;
        if (At(first) != QLatin1Char('"')) {
            TCsvCell cell;
            while (!AtCellEnd())
                cell.text += text_[pos_++];
            return cell;
        }
        pos_ = first + 1;
        return QuotedCell();
    }

    TCsvCell QuotedCell()
    {
        const int opened = line_;
        TCsvCell cell;
        cell.quoted = true;
        for (;;) {
            if (AtEnd())
                throw ECsvError(opened, QStringLiteral("a quoted cell opens here and is never closed"));
            const QChar c = text_[pos_++];
            if (c == QLatin1Char('"')) {
                if (At(pos_) != QLatin1Char('"'))
                    break;
                ++pos_;
            } else if (c == QLatin1Char('\n')) {
                ++line_;
            }
            cell.text += c;
        }
        while (IsBlank(At(pos_)))
            ++pos_;
        if (!AtCellEnd())
            throw ECsvError(line_, QStringLiteral("text after the closing quote of a cell (a quote inside a quoted "
                                                  "cell is written twice: \"\")"));
        return cell;
    }

    const QString& text_;
    qsizetype pos_ = 0;
    int line_ = 1;
};

} // namespace

std::vector<TCsvRecord> ReadCsv(const QString& text)
{
    return TCsvScanner(text).Records();
}

} // namespace r7730::provision
