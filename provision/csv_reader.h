#pragma once
// Comma-separated values as a spreadsheet writes them (RFC 4180), on decoded text.
//
// A cell may be quoted: inside the quotes a comma and a line break are part of the cell and a
// quote is written twice (""). Lines end with CRLF or LF, mixed in one text too; the last line
// may lack its line end, and blank lines at the very end (nothing but spaces or tabs) are no
// records. Blanks around a quoted cell are dropped, so "a, "b, c"" reads as a person means it.
// An unquoted cell is taken as written, a quote inside it included.
#include <QString>
#include <stdexcept>
#include <vector>

namespace r7730::provision {

struct TCsvCell {
    QString text;
    bool quoted = false; // written in quotes: its text is exactly what stood between them
};

struct TCsvRecord {
    int line = 0; // the line it begins on, 1 for the first
    std::vector<TCsvCell> cells;
};

// A text that is not CSV: a quote never closed, or text after a closing quote.
class ECsvError : public std::runtime_error {
public:
    ECsvError(int line, const QString& text) : std::runtime_error(text.toStdString()), line_(line), text_(text) {}
    int Line() const { return line_; }
    QString Text() const { return text_; }

private:
    int line_;
    QString text_;
};

// Every record of the text, in order. Raises ECsvError.
std::vector<TCsvRecord> ReadCsv(const QString& text);

} // namespace r7730::provision
