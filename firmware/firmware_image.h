#pragma once
// The firmware file, checked before anything is sent to the device: a regular file, not empty,
// not over the size limit, and not a text or HTML page saved under the firmware's name (what a
// browser saves from a download link that led to a page). The file is read whole, so what is
// served is exactly what was checked and hashed, whatever happens to the file meanwhile.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <optional>

namespace r7730::firmware {

inline constexpr qint64 kDefaultMostImageBytes = 8 * 1024 * 1024;

struct TFirmwareImage {
    QString path;
    QString baseName;   // the file's name without its folder
    QByteArray bytes;
    QByteArray sha256;  // lower-case hex
};

struct TImageCheck {
    std::optional<TFirmwareImage> image;
    QString refusal; // in plain words, when there is no image
};

// Why these first bytes of a file look like text or HTML ("it begins with \"<!DOCTYPE\""); empty
// when they look like a binary image. A leading "<" (after blanks and a byte order mark) is
// markup; otherwise text is a first 4 KiB without a NUL byte and over 95% printable bytes
// (bytes from 0x80 up count as printable: text in any encoding).
QString TextLikeness(QByteArrayView bytes);

// force: send a text-like file all the same.
TImageCheck ReadFirmwareImage(const QString& path, qint64 mostBytes, bool force);

} // namespace r7730::firmware
