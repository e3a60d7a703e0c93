// The one-file HTTP server (see one_file_server.h).
#include "firmware/one_file_server.h"

#include <httplib.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pthread.h>
#include <sys/socket.h>
#include <unistd.h>

#include "firmware/request_route.h"

namespace r7730::firmware {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSendBuffer = 64 * 1024;

// Whether address:port can be bound now: 0, or the errno of the failed bind.
int ProbeBind(const std::string& address, int port)
{
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::inet_pton(AF_INET, address.c_str(), &target.sin_addr) != 1)
        return EINVAL;
    const int probe = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0)
        return errno;
    const int yes = 1;
    ::setsockopt(probe, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    const int error = ::bind(probe, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0 ? 0 : errno;
    ::close(probe);
    return error;
}

std::uint64_t HeaderBytes(const httplib::Request& request)
{
    std::uint64_t bytes = 0;
    for (const auto& [name, value] : request.headers)
        bytes += name.size() + value.size() + 4; // "name: value\r\n"
    return bytes;
}

} // namespace

// One request's bytes as they go out, from the handler to the library's word that it was answered.
struct TOneFileServer::TRequestTally {
    TServeEvent event;
    Clock::time_point begun = Clock::now();
    std::uint64_t nextOffset = 0;
    bool counted = false; // a GET after arming
};

TOneFileServer::TOneFileServer(QByteArray bytes, std::string path)
    : bytes_(std::move(bytes)), path_(std::move(path)), server_(std::make_unique<httplib::Server>())
{
    server_->new_task_queue = [] { return new httplib::ThreadPool(kMostConnections); };
    server_->set_keep_alive_timeout(2);
    server_->set_read_timeout(10);
    server_->set_write_timeout(30);
    server_->set_payload_max_length(0);
    server_->set_socket_options([](int socket) {
        // Connections take the listener's send buffer: a small one keeps the bytes counted as
        // sent close to what the device received, should it go away mid-download.
        const int yes = 1;
        ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        ::setsockopt(socket, SOL_SOCKET, SO_SNDBUF, &kSendBuffer, sizeof kSendBuffer);
    });
    server_->set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
        Handle(request, response);
        return httplib::Server::HandlerResponse::Handled;
    });
    server_->set_logger([this](const httplib::Request& request, const httplib::Response& response) { Answered(request, response); });
}

TOneFileServer::~TOneFileServer()
{
    Stop();
}

TListening TOneFileServer::Listen(const std::string& address, int port)
{
    for (int candidate = port; candidate < port + kPortsTried && candidate <= 65535; ++candidate) {
        const int error = ProbeBind(address, candidate);
        if (error == EADDRINUSE)
            continue;
        if (error == EADDRNOTAVAIL)
            return {0, address + " is not an address of this PC"};
        if (error == EACCES)
            return {0, "port " + std::to_string(candidate) + " may not be bound by this user"};
        if (error != 0)
            return {0, "cannot listen on " + address + ":" + std::to_string(candidate) + ": " + std::strerror(error)};
        if (server_->bind_to_port(address, candidate))
            return {candidate, {}};
    }
    return {0, "ports " + std::to_string(port) + " to " + std::to_string(std::min(port + kPortsTried - 1, 65535)) + " of " +
                   address + " are all taken"};
}

void TOneFileServer::Start()
{
    thread_ = std::thread([this] {
        // The pool's threads are made here and inherit the blocked SIGPIPE.
        sigset_t pipe;
        sigemptyset(&pipe);
        sigaddset(&pipe, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
        server_->listen_after_bind();
    });
}

void TOneFileServer::Stop()
{
    if (!thread_.joinable())
        return;
    server_->stop();
    thread_.join();
}

void TOneFileServer::Handle(const httplib::Request& request, httplib::Response& response)
{
    auto tally = std::make_shared<TRequestTally>();
    tally->event.client = request.remote_addr + ":" + std::to_string(request.remote_port);
    tally->event.method = request.method;
    tally->event.path = request.path;
    tally->counted = armed_ && request.method == "GET";
    {
        const std::lock_guard lock(mutex_);
        open_[&request] = tally;
    }
    if (HeaderBytes(request) > kMostHeaderBytes) {
        response.status = 431;
        response.set_header("Connection", "close");
        return;
    }
    switch (RouteRequest(request.method, request.path, path_)) {
    case TRoute::NotFound:
        response.status = 404;
        response.set_content("Not Found\n", "text/plain");
        return;
    case TRoute::MethodNotAllowed:
        response.status = 405;
        response.set_header("Allow", "GET, HEAD");
        response.set_content("Method Not Allowed\n", "text/plain");
        return;
    case TRoute::Serve:
        break;
    }
    response.set_header("Accept-Ranges", "bytes");
    if (!request.ranges.empty()) {
        // This version of the library cuts no range at the end of the file (it announces bytes
        // that are not there), so the ranges are brought within the file before it applies
        // them. The request belongs to the library's request loop, which made it non-const.
        const TByteRanges satisfiable = SatisfiableRanges(request.ranges, Size());
        if (satisfiable.empty()) {
            response.status = 416;
            response.set_header("Content-Range", "bytes */" + std::to_string(Size()));
            return;
        }
        const_cast<httplib::Request&>(request).ranges = satisfiable;
    }
    response.set_content_provider(
        static_cast<std::size_t>(bytes_.size()), "application/octet-stream",
        [this, tally](std::size_t offset, std::size_t length, httplib::DataSink& sink) {
            if (offset != tally->nextOffset || tally->event.length == 0) {
                // A new range begins (a whole-file answer has just one).
                if (tally->event.length == 0)
                    tally->event.offset = offset;
                tally->event.length += length;
            }
            const std::size_t piece = std::min<std::size_t>(length, 64 * 1024);
            if (offset + piece > static_cast<std::size_t>(bytes_.size()) || !sink.write(bytes_.constData() + offset, piece))
                return false;
            tally->nextOffset = offset + piece;
            const std::lock_guard lock(mutex_);
            tally->event.sent += piece;
            if (tally->counted) {
                bytesSent_ += piece;
                ranges_.Add(offset, piece);
            }
            return true;
        });
}

void TOneFileServer::Answered(const httplib::Request& request, const httplib::Response& response)
{
    const std::lock_guard lock(mutex_);
    const auto found = open_.find(&request);
    if (found == open_.end())
        return;
    const std::shared_ptr<TRequestTally> tally = found->second;
    open_.erase(found);
    if (!armed_)
        return;
    tally->event.status = response.status;
    tally->event.seconds = std::chrono::duration<double>(Clock::now() - tally->begun).count();
    if (request.method == "HEAD")
        tally->event.length = tally->event.sent = 0;
    events_.push_back(tally->event);
}

std::vector<TServeEvent> TOneFileServer::TakeEvents()
{
    const std::lock_guard lock(mutex_);
    return std::exchange(events_, {});
}

std::uint64_t TOneFileServer::Covered() const
{
    const std::lock_guard lock(mutex_);
    return ranges_.Covered();
}

bool TOneFileServer::ServedWhole() const
{
    const std::lock_guard lock(mutex_);
    return ranges_.Covers(Size());
}

} // namespace r7730::firmware
