// The server's request to itself (see server_self_check.h).
#include "firmware/server_self_check.h"

#include <QCryptographicHash>
#include <httplib.h>

namespace r7730::firmware {

QString ServerSelfCheck(const std::string& address, int port, const std::string& path, const QByteArray& sha256)
{
    httplib::Client client(address, port);
    client.set_connection_timeout(5);
    client.set_read_timeout(10);
    const httplib::Result result = client.Get(path);
    if (!result)
        return QStringLiteral("the server did not answer its own request: %1")
            .arg(QString::fromStdString(httplib::to_string(result.error())));
    if (result->status != 200)
        return QStringLiteral("the server answered its own request with %1").arg(result->status);
    const QByteArray got =
        QCryptographicHash::hash(QByteArray::fromStdString(result->body), QCryptographicHash::Sha256).toHex();
    if (got != sha256)
        return QStringLiteral("the server's own request got %1 bytes that differ from the file").arg(result->body.size());
    return {};
}

} // namespace r7730::firmware
