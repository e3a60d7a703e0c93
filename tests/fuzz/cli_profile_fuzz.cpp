// Any profile file given to `r7730ctl restore`: it is read or refused with a message naming what
// is wrong, before anything would be sent.
#include <QFile>
#include <QTemporaryDir>
#include <cstdint>

#include "cli/failure.h"
#include "cli/profile.h"
#include "protocol/conversion_error.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("unit.ini"));
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    for (const bool noVerify : {false, true}) {
        try {
            (void)r7730::cli::ReadProfile(path, noVerify, false);
        } catch (const r7730::cli::TCliFailure&) {
        }
    }
    return 0;
}
