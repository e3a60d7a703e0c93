// Any command line of r7730ctl: it is read or refused with a message, never anything else. The
// input's zero bytes separate the arguments.
#include <QStringList>
#include <cstdint>

#include "cli/arguments.h"
#include "cli/failure.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    QStringList arguments{QStringLiteral("r7730ctl")};
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    for (const QByteArray& argument : bytes.split('\0'))
        arguments << QString::fromUtf8(argument);
    try {
        (void)r7730::cli::ParseArguments(arguments);
    } catch (const r7730::cli::TCliFailure&) {
    }
    return 0;
}
