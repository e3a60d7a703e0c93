// Serving an 8 MiB image to a client on 127.0.0.1: the program's one-file server beside
// `python3 -m http.server` serving the same file, fetched the same way, taking turns. Prints the
// median time of a whole download for each; asserts nothing.
//   firmware_serve_bench [ROUNDS]
#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <arpa/inet.h>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "firmware/one_file_server.h"

namespace {

constexpr int kImageBytes = 8 * 1024 * 1024;

int Connect(int port)
{
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    if (::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(socket);
        return -1;
    }
    return socket;
}

// One GET of the whole file; the milliseconds it took, or -1 when the answer was short.
double Fetch(int port, const char* path)
{
    QElapsedTimer clock;
    clock.start();
    const int socket = Connect(port);
    if (socket < 0)
        return -1;
    const QByteArray request = QByteArray("GET ") + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    ::send(socket, request.constData(), static_cast<std::size_t>(request.size()), MSG_NOSIGNAL);
    std::vector<char> buffer(256 * 1024);
    qint64 total = 0;
    for (ssize_t count; (count = ::recv(socket, buffer.data(), buffer.size(), 0)) > 0;)
        total += count;
    ::close(socket);
    return total > kImageBytes ? static_cast<double>(clock.nsecsElapsed()) / 1e6 : -1;
}

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

int FreePort()
{
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    ::inet_pton(AF_INET, "127.0.0.1", &address.sin_addr);
    ::bind(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address);
    socklen_t length = sizeof address;
    ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    ::close(socket);
    return ntohs(address.sin_port);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;
    QByteArray image(kImageBytes, '\0');
    for (int i = 0; i < kImageBytes; ++i)
        image[i] = static_cast<char>((i * 131 + i / 4093) & 0xFF);

    QTemporaryDir folder;
    QFile file(folder.filePath("fw.bin"));
    if (!file.open(QIODevice::WriteOnly) || file.write(image) != image.size())
        return 1;
    file.close();

    r7730::firmware::TOneFileServer ours(image, "/fw.bin");
    const r7730::firmware::TListening listening = ours.Listen("127.0.0.1", FreePort());
    if (!listening.refusal.empty()) {
        std::fprintf(stderr, "%s\n", listening.refusal.c_str());
        return 1;
    }
    ours.Start();

    const int pythonPort = FreePort();
    QProcess python;
    python.setStandardOutputFile(QProcess::nullDevice());
    python.setStandardErrorFile(QProcess::nullDevice()); // its line per request
    python.start("python3", {"-m", "http.server", QString::number(pythonPort), "--bind", "127.0.0.1", "--directory", folder.path()});
    if (!python.waitForStarted())
        return 1;
    for (int tries = 0; tries < 100; ++tries) {
        if (const int probe = Connect(pythonPort); probe >= 0) {
            ::close(probe);
            break;
        }
        QThread::msleep(50);
    }

    std::vector<double> oursMs, pythonMs;
    for (int round = 0; round < rounds; ++round) {
        oursMs.push_back(Fetch(listening.port, "/fw.bin"));
        pythonMs.push_back(Fetch(pythonPort, "/fw.bin"));
    }
    python.kill();
    python.waitForFinished();
    std::printf("Serving an 8 MiB image to a client on 127.0.0.1, median of %d downloads each, taking turns:\n", rounds);
    std::printf("  one-file server (r7730ctl firmware)   %8.1f ms  (%.0f MiB/s)\n", Median(oursMs), 8000.0 / Median(oursMs));
    std::printf("  python3 -m http.server (the anchor)   %8.1f ms  (%.0f MiB/s)\n", Median(pythonMs), 8000.0 / Median(pythonMs));
    return 0;
}
