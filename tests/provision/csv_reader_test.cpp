// What the CSV reader makes of the corners of the format a plan's rows stand on.
#include <gtest/gtest.h>

#include "provision/csv_reader.h"
#include "support/qt_printers.h"

using namespace r7730::provision;

TEST(CsvReader, ReadsCellsAndTheLineEachRecordBeginsOn)
{
    struct TCase {
        QString text;
        QString records; // each record "line: cell|cell", quoted cells in [ ]
    };
    const std::vector<TCase> cases = {
        {"a,b\n", "1: a|b"},
        {"a,\n,b", "1: a|; 2: |b"},
        {"a\"b, \" c \" ,\"d\"\"\"\t", "1: a\"b|[ c ]|[d\"]"},
        {"\"x\r\ny\",z\r\n\"\"\nw", "1: [x\r\ny]|z; 3: []; 4: w"},
        {"a\n\n \t\n\n", "1: a"},
        {"a\n\nb\n", "1: a; 2: ; 3: b"},
        {"a\n\"\"\n", "1: a; 2: []"},
        {"a\rb\n", "1: a\rb"},
        {"", ""},
    };
    for (const TCase& c : cases) {
        QStringList records;
        for (const TCsvRecord& record : ReadCsv(c.text)) {
            QStringList cells;
            for (const TCsvCell& cell : record.cells)
                cells << (cell.quoted ? "[" + cell.text + "]" : cell.text);
            records << QString("%1: %2").arg(record.line).arg(cells.join("|"));
        }
        EXPECT_EQ(records.join("; "), c.records) << c.text.toStdString();
    }
}

TEST(CsvReader, AQuoteNeverClosedOrTextAfterOneNamesItsLine)
{
    struct TCase {
        QString text;
        int line;
    };
    for (const TCase& c : std::vector<TCase>{{"a\n\"b\nc", 2}, {"a\n\"b\"\"", 2}, {"a\n\"b\nc\"d", 3}, {"\"b\" \"c\"", 1}}) {
        try {
            (void)ReadCsv(c.text);
            ADD_FAILURE() << "read: " << c.text.toStdString();
        } catch (const ECsvError& error) {
            EXPECT_EQ(error.Line(), c.line) << c.text.toStdString();
        }
    }
}
