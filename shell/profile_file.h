#pragma once
// A small INI profile: "[Section]" lines followed by "key=value" lines, CP949 text.
//
// Read and written one key at a time, like the classic profile functions: reading a missing
// file, section or key gives the default, and a key present with nothing after "=" gives the
// empty text. Writing changes one key in place (or adds it at the end of its section, or adds
// the section at the end of the file), creates the file when missing, and keeps every other
// line - other sections, keys, comments, their order and line endings - untouched. Section
// and key names match without regard to ASCII case; values are trimmed of surrounding blanks.
// The folder is never created.
#include <string>
#include <utility>
#include <vector>

namespace r7730 {

std::string ReadProfileString(const std::string& path, const std::string& section, const std::string& key,
                              const std::string& defaultValue);

// The names of the file's sections, in file order, each once (matched without regard to case);
// none for a missing file.
std::vector<std::string> ReadProfileSections(const std::string& path);

// The "key=value" lines of one section, in file order, values as ReadProfileString gives them;
// a key written twice comes twice. Lines before the first section belong to none.
std::vector<std::pair<std::string, std::string>> ReadProfileSection(const std::string& path, const std::string& section);

// Returns false when the file cannot be written (missing folder, no permission); the file is
// then unchanged. The new content is written whole (shell/whole_file.h): a fresh file in the same
// folder renamed over the old one, so a failure never leaves a half-written file; only where the
// folder takes no new file but the file itself is writable is the file rewritten in place.
//
// A path that is a link is written through: the regular file it points to gets the new text and
// the link stays a link. A link to nothing, or to anything but a regular file, is refused.
bool WriteProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value);

struct TProfileEntry {
    std::string section;
    std::string key;
    std::string value;
};

// Several keys in one replacement of the file, in order, with the same rules.
bool WriteProfileStrings(const std::string& path, const std::vector<TProfileEntry>& entries);

// The text with these keys set as WriteProfileStrings sets them in a file; new lines take the
// text's own line ending (CR LF when it has none).
std::string WithProfileStrings(const std::string& text, const std::vector<TProfileEntry>& entries);

// A profile read strictly, for a file whose every line a program acts on (r7730ctl's restore);
// the settings file stays read leniently by the functions above. Every line must be blank, a
// comment (";" or "#" first), a "[Section]", or a "key=value" under a section; outside comments
// no control byte may stand anywhere but a tab in the blanks around a name or value, which are
// trimmed off. The first line that breaks a rule is the fault.
enum class TProfileFault {
    None,
    KeyOutsideSection, // a "key=value" above the first section
    NotAKeyLine,       // neither blank, comment, section nor "key=value"
    ControlByte,       // a control byte (below 0x20, or 0x7F), a tab inside a name or value included
};

struct TProfileLineEntry {
    TProfileEntry entry;
    int line = 0; // counted from 1
};

struct TStrictProfile {
    TProfileFault fault = TProfileFault::None;
    int faultLine = 0;            // counted from 1
    std::string faultText;        // that line trimmed (empty for a control byte)
    unsigned char controlByte = 0;
    std::vector<std::string> sections;     // each "[Section]" line's name, in file order
    std::vector<TProfileLineEntry> entries; // in file order, values as ReadProfileString gives them
};

TStrictProfile ParseProfileStrictly(const std::string& text);

} // namespace r7730
