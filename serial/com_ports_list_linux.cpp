#include "serial/com_ports_list.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <filesystem>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <system_error>

#include "serial/com_error.h"

namespace r7730 {

namespace fs = std::filesystem;

namespace {

std::string AsciiUpper(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// A ttyS port without a UART behind it reads type 0 (PORT_UNKNOWN).
bool IsPlaceholderUart(const fs::path& entry)
{
    std::ifstream typeFile(entry / "type");
    int type = -1;
    return typeFile >> type && type == 0;
}

bool IsVirtual(const fs::path& entry)
{
    std::error_code error;
    const fs::path target = fs::canonical(entry, error);
    if (error)
        return true;
    const std::string text = target.generic_string();
    return text.find("/devices/virtual/") != std::string::npos;
}

void RaiseListError(const std::error_code& error)
{
    RaiseSystemError(CError_RegError, TSysResult::Failure(error.value(), "read /sys/class/tty"));
}

// The links to pseudo-terminals in folder, by folder + "/" + name; none when it cannot be read.
void AddSimulatedDevices(std::vector<std::string>& found, const std::string& folder)
{
    std::error_code error;
    fs::directory_iterator it(folder, error);
    for (fs::directory_iterator end; !error && it != end; it.increment(error)) {
        const std::string path = folder + "/" + it->path().filename().string();
        if (LeadsToPseudoTerminal(path))
            found.push_back(path);
    }
}

} // namespace

bool LeadsToPseudoTerminal(const std::string& path)
{
    // Unix98 pseudo-terminal serial ends (/dev/pts/N) have the major numbers 136 to 143.
    constexpr unsigned kFirstPtsMajor = 136, kLastPtsMajor = 143;
    struct stat file {};
    if (::lstat(path.c_str(), &file) != 0 || !S_ISLNK(file.st_mode) || ::stat(path.c_str(), &file) != 0)
        return false;
    return S_ISCHR(file.st_mode) && major(file.st_rdev) >= kFirstPtsMajor && major(file.st_rdev) <= kLastPtsMajor;
}

void ListComPorts(std::vector<std::string>& names, const std::string& sysClassTty, const std::string& devFolder,
                  const std::string& simulatedFolder)
{
    std::vector<std::string> found;
    std::error_code error;
    fs::directory_iterator it(sysClassTty, error);
    if (error)
        RaiseListError(error);
    for (fs::directory_iterator end; it != end; it.increment(error)) {
        const fs::path entry = it->path();
        const std::string name = entry.filename().string();
        std::error_code linkError;
        if (!fs::exists(fs::symlink_status(entry / "device", linkError)) || linkError)
            continue;
        if (IsVirtual(entry))
            continue;
        if (name.rfind("ttyS", 0) == 0 && IsPlaceholderUart(entry))
            continue;
        found.push_back(devFolder + "/" + name);
    }
    if (error)
        RaiseListError(error);
    if (!simulatedFolder.empty())
        AddSimulatedDevices(found, simulatedFolder);
    std::stable_sort(found.begin(), found.end(),
                     [](const std::string& a, const std::string& b) { return AsciiUpper(a) < AsciiUpper(b); });
    names = std::move(found);
}

void ListComPorts(std::vector<std::string>& names)
{
    ListComPorts(names, "/sys/class/tty", "/dev", kSimulatedDevicesFolder);
}

} // namespace r7730
