#pragma once
// The backup profile: the device's settings as an INI text a person can read and edit.
//
// A comment header names the device, its MAC, the date and the port; then one section per part
// of the settings ([wan], [tcp], [serial], [ap]) with the keys of settings_text_checks.h, written and
// read through the program's INI layer (shell/profile_file.h), as UTF-8 text. The file holds the
// access point's password, so it is made readable by its owner only, and it is written whole
// (shell/whole_file.h): only over a regular file, never over a device, a FIFO or a folder. "-"
// is standard output.
//
// Reading checks the whole file before anything is sent, and ends with exit 2 naming what is
// wrong: a file over 1 MiB, a line over 64 KiB, UTF-16 text or text that is not UTF-8 (a UTF-8
// byte-order mark is fine), a line that is neither blank, a comment, a section nor key=value
// under a section, a control byte outside a comment, an unknown section or key, a key written
// twice, or a value refused by the device's checks or the rules of a given value (a control
// character in a text, a mask that is none unless forced). A long value is named by its first
// 80 characters and its length.
#include <QString>
#include <map>
#include <vector>

#include "cli/read_back.h"
#include "device/settings_text_checks.h"

namespace r7730::cli {

// The FILE that stands for standard output.
inline const QString kStandardOutput = QStringLiteral("-");
// The largest profile read: a profile of every key is a few hundred bytes.
inline constexpr qsizetype kMaxProfileBytes = 1024 * 1024;

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

// Raises TCliFailure (exit 2) when the path is not a regular file (nor a link to one, nor free)
// or its folder cannot take a new file; nothing is read from the device before this passes.
void CheckProfileWritable(const QString& path);

// Writes the file, replacing one already there in a single rename (through a link, the file it
// leads to), or to standard output for "-". notes: extra comment lines (a section left out, and
// why). Raises TCliFailure (exit 2) as CheckProfileWritable, (exit 1) when writing fails.
void WriteProfile(const QString& path, const TProfileHeader& header, const std::vector<TProfileSection>& sections,
                  const QStringList& notes);

// Names the keys of one section of the file in messages.
TKeyNamer ProfileKeyNamer(const QString& path, TSection section);

// Reads and checks the whole file (see above); the sections present, in apply order.
std::vector<TProfileSection> ReadProfile(const QString& path, bool noVerify, bool forceMask);

} // namespace r7730::cli
