// The firmware file's checks (see firmware_image.h).
#include "firmware/firmware_image.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

namespace r7730::firmware {
namespace {

constexpr qsizetype kTextSample = 4096;

bool Printable(unsigned char byte)
{
    return (byte >= 0x20 && byte != 0x7F) || byte == '\t' || byte == '\n' || byte == '\r';
}

} // namespace

QString TextLikeness(QByteArrayView bytes)
{
    QByteArrayView head = bytes.first(std::min(bytes.size(), kTextSample));
    QByteArrayView markup = head;
    if (markup.startsWith("\xEF\xBB\xBF"))
        markup = markup.sliced(3);
    while (!markup.isEmpty() && (markup.front() == ' ' || markup.front() == '\t' || markup.front() == '\r' || markup.front() == '\n'))
        markup = markup.sliced(1);
    if (markup.startsWith('<')) {
        // Shown up to its first ">", at most 40 bytes.
        const qsizetype close = markup.first(std::min<qsizetype>(markup.size(), 40)).indexOf('>');
        const QByteArray start = markup.first(close >= 0 ? close + 1 : std::min<qsizetype>(markup.size(), 40)).toByteArray().simplified();
        const QByteArray lower = start.toLower();
        const char* kind = lower.startsWith("<!doctype") || lower.startsWith("<html") ? "an HTML page" : "markup (HTML or XML)";
        return QStringLiteral("it looks like %1: it begins with \"%2\"").arg(QLatin1String(kind), QString::fromLatin1(start));
    }
    if (head.isEmpty() || head.contains('\0'))
        return {};
    qsizetype printable = 0;
    for (const char byte : head)
        printable += Printable(static_cast<unsigned char>(byte)) ? 1 : 0;
    if (printable * 100 <= head.size() * 95)
        return {};
    return QStringLiteral("it looks like text: its first %1 bytes hold no NUL byte and %2% of them are printable")
        .arg(head.size())
        .arg(printable * 100 / head.size());
}

TImageCheck ReadFirmwareImage(const QString& path, qint64 mostBytes, bool force)
{
    const QFileInfo info(path);
    if (!info.exists())
        return {std::nullopt, QStringLiteral("%1: no such file").arg(path)};
    if (!info.isFile())
        return {std::nullopt, QStringLiteral("%1 is not a regular file").arg(path)};
    if (info.size() == 0)
        return {std::nullopt, QStringLiteral("%1 is empty").arg(path)};
    if (info.size() > mostBytes)
        return {std::nullopt, QStringLiteral("%1 has %2 bytes, more than the %3 allowed (--max-size BYTES allows more)")
                                  .arg(path)
                                  .arg(info.size())
                                  .arg(mostBytes)};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {std::nullopt, QStringLiteral("%1 cannot be read: %2").arg(path, file.errorString())};
    TFirmwareImage image{path, info.fileName(), file.read(mostBytes + 1), {}};
    if (image.bytes.size() != info.size())
        return {std::nullopt, QStringLiteral("%1 changed while it was read").arg(path)};
    if (const QString likeness = TextLikeness(image.bytes); !likeness.isEmpty() && !force)
        return {std::nullopt, QStringLiteral("%1 is not a firmware image: %2 (a download link saved from a browser "
                                             "often gives such a page); --force sends it all the same")
                                  .arg(path, likeness)};
    image.sha256 = QCryptographicHash::hash(image.bytes, QCryptographicHash::Sha256).toHex();
    return {std::move(image), {}};
}

} // namespace r7730::firmware
