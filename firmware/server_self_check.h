#pragma once
// The server's answer to its own request, before the device is told to fetch: the file whole
// and unchanged at the URL the device will use. A server that cannot answer this PC cannot
// answer the device either, and the technician hears it before the frame goes out.
#include <QByteArray>
#include <QString>
#include <string>

namespace r7730::firmware {

// GETs path (the CP949 bytes the device asks for) from address:port; empty when the answer is
// 200 with bytes whose SHA-256 (lower-case hex) is sha256, else what went wrong.
QString ServerSelfCheck(const std::string& address, int port, const std::string& path, const QByteArray& sha256);

} // namespace r7730::firmware
