#pragma once
// The name the device asks the server for: "/" and the firmware file's base name, as bytes of the
// device's code page (CP949), exactly as the download frame's 32-byte file-name field carries
// it. The name is never cut: a cut name would ask for another file (or end in half a Hangul
// character), so a name that does not fit whole is refused, as is one the device would mangle
// on its way into a request line (a character CP949 lacks, a blank, a control character, or one
// of ? # % that a URL reads as something else).
#include <QString>
#include <string>

namespace r7730::firmware {

struct TDownloadName {
    std::string ansi; // "/" + base name in CP949; the server matches exactly these bytes
    QString refusal;  // in plain words, when the name cannot travel
};

TDownloadName DownloadNameOf(const QString& baseName);

} // namespace r7730::firmware
