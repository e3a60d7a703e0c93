#pragma once
// The backup profile: the device's settings as an INI text a person can read and edit.
//
// A comment header names the device, its MAC, the date and the port; then one section per part
// of the settings ([wan], [tcp], [serial], [ap]) with the keys of settings_fields.h, written and
// read through the program's INI layer (shell/profile_file.h), as UTF-8 text. The file holds the
// access point's password, so it is made readable by its owner only. Reading checks the whole
// file before anything is sent: an unknown section or key, a key written twice, or a value the
// device's checks refuse ends with exit 2 and names the section and key.
#include <QString>
#include <map>
#include <vector>

#include "cli/read_back.h"
#include "cli/settings_fields.h"

namespace r7730::cli {

struct TProfileHeader {
    QString model;
    QString firmware;
    QString mac;
    QString port;
};

struct TProfileSection {
    TSection section;
    TTexts texts;
};

// Raises TCliFailure (exit 2) when the file cannot be made in its folder; nothing is read from
// the device before this passes.
void CheckProfileWritable(const QString& path);

// Writes the file, replacing one already there in a single rename. notes: extra comment lines
// (a section left out, and why). Raises TCliFailure (exit 1) when writing fails.
void WriteProfile(const QString& path, const TProfileHeader& header, const std::vector<TProfileSection>& sections,
                  const QStringList& notes);

// Names the keys of one section of the file in messages.
TKeyNamer ProfileKeyNamer(const QString& path, TSection section);

// Reads and checks the whole file (see above); the sections present, in apply order.
std::vector<TProfileSection> ReadProfile(const QString& path, bool noVerify);

} // namespace r7730::cli
