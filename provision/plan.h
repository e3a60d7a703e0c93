#pragma once
// A provisioning plan: one row per unit, read from a CSV file whose first line names the
// columns. The columns are r7730ctl's own option names: `label` (the unit's sticker name, never
// sent), `mac` (to match a unit by the MAC its status reply reports), and the keys of the four
// settings sections (ip, gateway, mask, mode, listen, expiry, target, baud, data, parity, stop,
// flow, ssid, password). An empty cell keeps the unit's value.
//
// A plan is identified by the SHA-256 of its file's bytes: the same file again resumes it.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <map>
#include <vector>

#include "device/settings_texts.h"

namespace r7730::provision {

struct TPlanRow {
    int number = 0; // 1 for the first row under the column names
    int line = 0;   // the file's line the row begins on (a quoted cell may hold line breaks)
    QString label;
    QString mac; // "00:1A:2B:3C:4D:5E" (upper case), or empty; as written when malformed
    std::map<TSection, TTexts> given; // the non-empty cells of each section, by key

    bool operator==(const TPlanRow&) const = default;
};

struct TPlan {
    QString path;
    QByteArray sha256; // hex, lower case, of the file's bytes
    QString encoding;  // "UTF-8" or "CP949"
    QStringList columns;
    std::vector<TPlanRow> rows;
};

} // namespace r7730::provision
