#include "firmware_fetch.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <httplib.h>
#include <netinet/in.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace sim {

namespace {

constexpr int kDeviceReceiveBuffer = 32 * 1024;

std::string dotted(const std::array<std::uint8_t, 4>& ip)
{
    return std::to_string(ip[0]) + "." + std::to_string(ip[1]) + "." + std::to_string(ip[2]) + "." + std::to_string(ip[3]);
}

// Binds the socket to the address (any port).
bool bindTo(int socket, const std::string& address)
{
    sockaddr_in local{};
    local.sin_family = AF_INET;
    return inet_pton(AF_INET, address.c_str(), &local.sin_addr) == 1 &&
           bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
}

// Whether this PC has the address, so that a request can leave from it.
bool isOwnAddress(const std::string& address)
{
    const int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool own = probe >= 0 && bindTo(probe, address);
    if (probe >= 0)
        close(probe);
    return own;
}

} // namespace

bool mayFetchFrom(const std::array<std::uint8_t, 4>& ip)
{
    return ip[0] == 127;
}

FirmwareFetch::FirmwareFetch(const FirmwareRequest& request, const std::array<std::uint8_t, 4>& source, FetchTrial trial)
{
    if (!mayFetchFrom(request.ip))
        throw std::logic_error("a firmware fetch from outside 127.0.0.0/8");
    if (pipe2(done_, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error("pipe2 failed");
    const std::string host = dotted(request.ip);
    std::string path(request.path.begin(), request.path.end());
    if (trial == FetchTrial::WrongName)
        path = "/not-" + path.substr(1);
    url_ = "http://" + host + ":" + std::to_string(request.port) + path;
    if (isOwnAddress(dotted(source)))
        source_ = dotted(source);
    thread_ = std::thread([this, host, port = int{request.port}, path, from = source_, trial] {
        try {
            run(host, port, path, from, trial);
        } catch (const std::exception& error) {
            // The fetch ends as a failed one; the device keeps its firmware.
            result_ = FetchResult{};
            result_.error = error.what();
            const char byte = 1;
            [[maybe_unused]] const ssize_t written = write(done_[1], &byte, 1);
        }
    });
}

FirmwareFetch::~FirmwareFetch()
{
    if (thread_.joinable())
        thread_.join();
    close(done_[0]);
    close(done_[1]);
}

void FirmwareFetch::run(std::string host, int port, std::string path, std::string source, FetchTrial trial)
{
    FetchResult result;
    httplib::Client client(host, port);
    client.set_connection_timeout(5);
    client.set_read_timeout(10);
    client.set_socket_options([&source](int socket) {
        setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &kDeviceReceiveBuffer, sizeof kDeviceReceiveBuffer);
        if (!source.empty())
            bindTo(socket, source);
    });
    const httplib::Result answer = client.Get(
        path,
        [&result](const httplib::Response& response) {
            result.status = response.status;
            result.length = response.get_header_value<std::uint64_t>("Content-Length");
            return true;
        },
        [&result, trial](const char*, std::size_t length) {
            result.received += length;
            if (trial == FetchTrial::Halfway && result.received >= result.length / 2) {
                result.error = "stopped reading at half the file (--firmware-fetch halfway)";
                return false;
            }
            return true;
        });
    if (!answer && result.error.empty())
        result.error = httplib::to_string(answer.error());
    result_ = result;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(done_[1], &byte, 1);
}

} // namespace sim
