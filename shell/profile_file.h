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
// then unchanged. The new content goes to a fresh file in the same folder that is renamed over
// the old one, so a failure never leaves a half-written file; only where the folder takes no new
// file but the file itself is writable is the file rewritten in place.
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

} // namespace r7730
