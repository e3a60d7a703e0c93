#include "shell/profile_file.h"

#include <cerrno>
#include <cstdlib>
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

std::vector<TProfileLine> ReadLines(const std::string& path, bool& exists)
{
    std::vector<TProfileLine> lines;
    std::ifstream file(path, std::ios::binary);
    exists = static_cast<bool>(file);
    if (!exists)
        return lines;
    std::stringstream content;
    content << file.rdbuf();
    const std::string all = content.str();
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

// The file a write goes to: the path itself, or the regular file a link at the path points to.
// Empty when the path is a link to nothing, or to something other than a regular file, or is
// not a regular file itself.
std::string WriteTarget(const std::string& path)
{
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0)
        return errno == ENOENT ? path : std::string();
    if (S_ISREG(status.st_mode))
        return path;
    if (!S_ISLNK(status.st_mode))
        return {};
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (!resolved)
        return {};
    std::string target = resolved;
    std::free(resolved);
    if (::lstat(target.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
        return {};
    return target;
}

bool WriteAll(int fd, const std::string& content)
{
    const char* data = content.data();
    std::size_t left = content.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

// The new text in a fresh file beside the target, then renamed over it: a failure never leaves
// a half-written file. The fresh file is made with O_EXCL and O_NOFOLLOW, so nothing planted
// under its name is ever opened.
bool ReplaceByRename(const std::string& target, const std::string& content, mode_t mode)
{
    const std::string::size_type slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : target.substr(0, slash);
    const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temporary = folder + "/." + name + "." + std::to_string(::getpid()) + "." + std::to_string(attempt);
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        bool ok = WriteAll(fd, content) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0;
        ok = ::close(fd) == 0 && ok;
        ok = ok && ::rename(temporary.c_str(), target.c_str()) == 0;
        if (!ok)
            ::unlink(temporary.c_str());
        return ok;
    }
    return false;
}

// For a folder that cannot take a new file while the file itself is writable.
bool RewriteInPlace(const std::string& target, const std::string& content)
{
    const int fd = ::open(target.c_str(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool ok = ::ftruncate(fd, 0) == 0 && WriteAll(fd, content) && ::fsync(fd) == 0;
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

bool WriteProfileStrings(const std::string& path, const std::vector<TProfileEntry>& entries)
{
    const std::string target = WriteTarget(path);
    if (target.empty())
        return false;
    bool exists = false;
    std::vector<TProfileLine> lines = ReadLines(target, exists);

    // New lines follow the file's own line ending; a new file gets CR LF.
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

    struct stat status {};
    const bool present = ::stat(target.c_str(), &status) == 0;
    if (present && ::access(target.c_str(), W_OK) != 0)
        return false;
    const mode_t mode = present ? (status.st_mode & 07777) : 0644;
    if (ReplaceByRename(target, content, mode))
        return true;
    return present && (errno == EACCES || errno == EPERM || errno == EROFS) && RewriteInPlace(target, content);
}

} // namespace r7730
