#include "shell/profile_file.h"

#include "shell/whole_file.h"

#include <cerrno>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace r7730 {
namespace {

struct TProfileLine {
    std::string text;   // without its line ending
    std::string ending; // "\r\n", "\n" or "" for a last line without one
};

std::vector<TProfileLine> SplitLines(const std::string& all)
{
    std::vector<TProfileLine> lines;
    std::size_t start = 0;
    while (start < all.size()) {
        std::size_t newline = all.find('\n', start);
        if (newline == std::string::npos) {
            lines.push_back({all.substr(start), ""});
            break;
        }
        std::size_t end = newline;
        std::string ending = "\n";
        if (end > start && all[end - 1] == '\r') {
            --end;
            ending = "\r\n";
        }
        lines.push_back({all.substr(start, end - start), ending});
        start = newline + 1;
    }
    return lines;
}

std::vector<TProfileLine> ReadLines(const std::string& path, bool& exists)
{
    std::ifstream file(path, std::ios::binary);
    exists = static_cast<bool>(file);
    if (!exists)
        return {};
    std::stringstream content;
    content << file.rdbuf();
    return SplitLines(content.str());
}

std::string TrimBlanks(const std::string& text)
{
    std::size_t begin = text.find_first_not_of(" \t");
    if (begin == std::string::npos)
        return {};
    std::size_t end = text.find_last_not_of(" \t");
    return text.substr(begin, end - begin + 1);
}

bool SameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z')
            y = static_cast<char>(y - 'a' + 'A');
        if (x != y)
            return false;
    }
    return true;
}

// The section named on this line, if it is a section line.
bool SectionName(const std::string& line, std::string& name)
{
    std::string trimmed = TrimBlanks(line);
    if (trimmed.size() < 2 || trimmed.front() != '[')
        return false;
    std::size_t close = trimmed.find(']');
    if (close == std::string::npos)
        return false;
    name = TrimBlanks(trimmed.substr(1, close - 1));
    return true;
}

// The key and value of a "key=value" line.
bool KeyValue(const std::string& line, std::string& key, std::string& value)
{
    std::size_t equals = line.find('=');
    if (equals == std::string::npos)
        return false;
    key = TrimBlanks(line.substr(0, equals));
    value = TrimBlanks(line.substr(equals + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return true;
}

struct TLocation {
    int sectionLine = -1;  // index of the "[Section]" line
    int keyLine = -1;      // index of the key's line
    int lastEntryLine = -1; // last non-blank line of the section
};

TLocation Locate(const std::vector<TProfileLine>& lines, const std::string& section, const std::string& key)
{
    TLocation where;
    bool inSection = false;
    for (int i = 0; i < static_cast<int>(lines.size()); ++i) {
        std::string name, k, v;
        if (SectionName(lines[static_cast<std::size_t>(i)].text, name)) {
            if (inSection)
                break;
            inSection = SameName(name, section);
            if (inSection) {
                where.sectionLine = i;
                where.lastEntryLine = i;
            }
            continue;
        }
        if (!inSection)
            continue;
        if (!TrimBlanks(lines[static_cast<std::size_t>(i)].text).empty())
            where.lastEntryLine = i;
        if (where.keyLine < 0 && KeyValue(lines[static_cast<std::size_t>(i)].text, k, v) && SameName(k, key))
            where.keyLine = i;
    }
    return where;
}

} // namespace

std::string ReadProfileString(const std::string& path, const std::string& section, const std::string& key,
                              const std::string& defaultValue)
{
    bool exists = false;
    const std::vector<TProfileLine> lines = ReadLines(path, exists);
    TLocation where = Locate(lines, section, key);
    if (where.keyLine < 0)
        return defaultValue;
    std::string k, value;
    KeyValue(lines[static_cast<std::size_t>(where.keyLine)].text, k, value);
    return value;
}

namespace {

// For a folder that cannot take a new file while the file itself is writable.
bool RewriteInPlace(const std::string& target, const std::string& content)
{
    const int fd = ::open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::ftruncate(fd, 0) == 0 && WriteAllBytes(fd, content) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    return ok;
}

void SetEntry(std::vector<TProfileLine>& lines, const TProfileEntry& entry, const std::string& ending)
{
    TLocation where = Locate(lines, entry.section, entry.key);
    const TProfileLine line{entry.key + "=" + entry.value, ending};
    if (where.keyLine >= 0) {
        lines[static_cast<std::size_t>(where.keyLine)].text = line.text;
    } else if (where.sectionLine >= 0) {
        auto& before = lines[static_cast<std::size_t>(where.lastEntryLine)];
        if (before.ending.empty())
            before.ending = ending;
        lines.insert(lines.begin() + where.lastEntryLine + 1, line);
    } else {
        if (!lines.empty() && lines.back().ending.empty())
            lines.back().ending = ending;
        lines.push_back({"[" + entry.section + "]", ending});
        lines.push_back(line);
    }
}

} // namespace

std::vector<std::string> ReadProfileSections(const std::string& path)
{
    bool exists = false;
    std::vector<std::string> names;
    for (const TProfileLine& line : ReadLines(path, exists)) {
        std::string name;
        if (!SectionName(line.text, name))
            continue;
        bool known = false;
        for (const std::string& seen : names)
            known = known || SameName(seen, name);
        if (!known)
            names.push_back(name);
    }
    return names;
}

std::vector<std::pair<std::string, std::string>> ReadProfileSection(const std::string& path, const std::string& section)
{
    bool exists = false;
    std::vector<std::pair<std::string, std::string>> entries;
    bool inSection = false;
    for (const TProfileLine& line : ReadLines(path, exists)) {
        std::string name, key, value;
        if (SectionName(line.text, name)) {
            inSection = SameName(name, section);
            continue;
        }
        const std::string trimmed = TrimBlanks(line.text);
        if (inSection && !trimmed.empty() && trimmed.front() != ';' && trimmed.front() != '#' &&
            KeyValue(line.text, key, value))
            entries.emplace_back(key, value);
    }
    return entries;
}

bool WriteProfileString(const std::string& path, const std::string& section, const std::string& key,
                        const std::string& value)
{
    return WriteProfileStrings(path, {{section, key, value}});
}

std::string WithProfileStrings(const std::string& text, const std::vector<TProfileEntry>& entries)
{
    std::vector<TProfileLine> lines = SplitLines(text);
    // New lines follow the text's own line ending; a text without one gets CR LF.
    std::string ending = "\r\n";
    for (const TProfileLine& line : lines)
        if (!line.ending.empty()) {
            ending = line.ending;
            break;
        }
    for (const TProfileEntry& entry : entries)
        SetEntry(lines, entry, ending);
    std::string content;
    for (const TProfileLine& line : lines)
        content += line.text + line.ending;
    return content;
}

bool WriteProfileStrings(const std::string& path, const std::vector<TProfileEntry>& entries)
{
    const TWholeFileTarget target = WholeFileTarget(path);
    if (!target.refusal.empty())
        return false;
    if (target.exists && ::access(target.path.c_str(), W_OK) != 0)
        return false;
    std::string text;
    if (target.exists) {
        std::ifstream file(target.path, std::ios::binary);
        std::stringstream content;
        content << file.rdbuf();
        text = content.str();
    }
    const std::string content = WithProfileStrings(text, entries);
    if (WriteWholeFile(target.path, content, std::nullopt))
        return true;
    return target.exists && (errno == EACCES || errno == EPERM || errno == EROFS) && RewriteInPlace(target.path, content);
}

namespace {

bool IsControl(unsigned char byte)
{
    return byte < 0x20 || byte == 0x7F;
}

bool IsComment(const std::string& line)
{
    const std::string trimmed = TrimBlanks(line);
    return !trimmed.empty() && (trimmed.front() == ';' || trimmed.front() == '#');
}

} // namespace

TStrictProfile ParseProfileStrictly(const std::string& text)
{
    TStrictProfile profile;
    const std::vector<TProfileLine> lines = SplitLines(text);
    std::string section;
    bool inSection = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i].text;
        auto fault = [&](TProfileFault kind, unsigned char byte = 0) {
            profile.fault = kind;
            profile.faultLine = static_cast<int>(i) + 1;
            profile.faultText = kind == TProfileFault::ControlByte ? std::string() : TrimBlanks(line);
            profile.controlByte = byte;
            return profile;
        };
        if (TrimBlanks(line).empty() || IsComment(line))
            continue;
        // Tabs pass only as the blanks around a name or value, which are trimmed.
        std::string name, key, value;
        const bool isSection = SectionName(line, name);
        const bool isKey = !isSection && KeyValue(line, key, value);
        for (const unsigned char byte : line)
            if (IsControl(byte) && byte != '\t')
                return fault(TProfileFault::ControlByte, byte);
        for (const unsigned char byte : isKey ? key + value : name)
            if (IsControl(byte))
                return fault(TProfileFault::ControlByte, byte);
        if (isSection) {
            section = name;
            inSection = true;
            profile.sections.push_back(name);
        } else if (!isKey) {
            return fault(TProfileFault::NotAKeyLine);
        } else if (!inSection) {
            return fault(TProfileFault::KeyOutsideSection);
        } else {
            profile.entries.push_back({{section, key, value}, static_cast<int>(i) + 1});
        }
    }
    return profile;
}

} // namespace r7730
