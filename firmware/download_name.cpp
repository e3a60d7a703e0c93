// The file-name field of the download frame (see download_name.h).
#include "firmware/download_name.h"

#include "protocol/code_page.h"
#include "protocol/frame.h"

namespace r7730::firmware {

TDownloadName DownloadNameOf(const QString& baseName)
{
    const QString name = QLatin1Char('/') + baseName;
    for (const QChar c : name)
        if (c.isSpace() || c.category() == QChar::Other_Control || QStringLiteral("?#%").contains(c))
            return {{}, QStringLiteral("the file name \"%1\" holds \"%2\", which does not travel in the request the device "
                                       "makes: rename the file")
                            .arg(baseName, c.isPrint() && !c.isSpace() ? QString(c) : QStringLiteral("U+%1").arg(c.unicode(), 4, 16, QLatin1Char('0')))};
    const std::optional<std::string> ansi = WideToAnsiExactly(name.toStdU16String());
    if (!ansi)
        return {{}, QStringLiteral("the file name \"%1\" holds a character the device's code page (CP949) cannot carry: "
                                   "rename the file")
                        .arg(baseName)};
    const std::size_t width = static_cast<std::size_t>(kFirmwareFileWidth);
    if (ansi->size() > width) {
        const bool splits = ByteTypeAt(*ansi, width - 1) == TMbcsByteType::mbLeadByte;
        return {{}, QStringLiteral("\"%1\" takes %2 bytes in the device's code page (CP949), more than the %3 of the "
                                   "download frame's file-name field%4: rename the file to a shorter name")
                        .arg(name)
                        .arg(ansi->size())
                        .arg(width)
                        .arg(splits ? QStringLiteral(", and cut there it would end in half a character") : QString())};
    }
    return {*ansi, {}};
}

} // namespace r7730::firmware
