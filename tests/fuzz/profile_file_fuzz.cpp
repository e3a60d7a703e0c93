// The settings file reader and writer on any file content and any key: a write keeps the file
// readable and the written value reads back.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

#include "fuzz_input.h"
#include "shell/profile_file.h"

namespace {

// A name the profile format can hold: no line breaks, no '=' or brackets in keys, no ']' in
// sections.
std::string Name(std::string text, const char* forbidden)
{
    std::string name;
    for (char c : text)
        if (c != '\r' && c != '\n' && std::string(forbidden).find(c) == std::string::npos)
            name += c;
    return name;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // In memory where there is a tmpfs: every write syncs the file, which a disk makes slow.
    static const std::string folder = [] {
        char inMemory[] = "/dev/shm/r7730-profile-fuzz-XXXXXX";
        char onDisk[] = "/tmp/r7730-profile-fuzz-XXXXXX";
        const char* made = ::mkdtemp(inMemory);
        if (!made)
            made = ::mkdtemp(onDisk);
        return std::string(made ? made : "/tmp");
    }();
    const std::string path = folder + "/SETUP.INI";
    r7730::fuzzing::TFuzzInput input(data, size);
    const std::string section = Name(input.Text(16), "]");
    const std::string key = Name(input.Text(16), "=[]");
    const std::string value = Name(input.Text(32), "");
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file << input.Rest();
    }
    (void)r7730::ReadProfileString(path, section, key, "default");
    if (!r7730::WriteProfileString(path, section, key, value))
        std::abort();
    // Keys and values are compared trimmed of blanks, as the reader returns them.
    const auto trimmed = [](const std::string& text) {
        const auto begin = text.find_first_not_of(" \t");
        if (begin == std::string::npos)
            return std::string();
        return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
    };
    const std::string trimmedKey = trimmed(key);
    const std::string trimmedValue = trimmed(value);
    const bool quoted = trimmedValue.size() >= 2 && (trimmedValue.front() == '"' || trimmedValue.front() == '\'') &&
                        trimmedValue.back() == trimmedValue.front();
    // Names are matched trimmed, so only names without surrounding blanks must read back.
    if (!trimmedKey.empty() && trimmedKey == key && trimmed(section) == section && !section.empty() && !quoted &&
        r7730::ReadProfileString(path, section, key, "default") != trimmedValue)
        std::abort();
    return 0;
}
