// The one-file HTTP server (see one_file_server.h).
#include "firmware/one_file_server.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include "firmware/request_route.h"

namespace r7730::firmware {
namespace {

using Clock = std::chrono::steady_clock;

// Connections take the listener's send buffer: a small one keeps the bytes written close to
// what the client received, should it go away mid-download.
constexpr int kSendBuffer = 64 * 1024;
constexpr std::size_t kPiece = 64 * 1024;
// How long a closing connection reads what its client still sends, so that the close does not
// reset the connection before the client has read the answer.
constexpr int kLingerMs = 500;
// How many connections may be closing that way at once.
constexpr long kMostClosing = 32;
// How often a connection whose client takes nothing looks at what the kernel still holds for it.
constexpr int kHeldLookMs = 20;

Clock::time_point After(int ms)
{
    return Clock::now() + std::chrono::milliseconds(ms);
}

// 1 when the socket is ready for events before the deadline, 0 when the time is up, -1 when the
// connection has ended.
int WaitUntil(int socket, short events, Clock::time_point deadline)
{
    while (true) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return 0;
        pollfd ready{socket, events, 0};
        const int result = ::poll(&ready, 1, static_cast<int>(std::min<long long>(left, 60000)));
        if (result < 0 && errno == EINTR)
            continue;
        if (result < 0 || (ready.revents & (POLLERR | POLLNVAL)))
            return -1;
        if (result > 0)
            return (ready.revents & events) || (ready.revents & POLLHUP) ? 1 : -1;
    }
}

// Writes all of text unless the client takes nothing for stallMs or the connection ends.
bool SendAll(int socket, std::string_view text, int stallMs)
{
    while (!text.empty()) {
        if (WaitUntil(socket, POLLOUT, After(stallMs)) <= 0)
            return false;
        const ssize_t count = ::send(socket, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (count < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (count <= 0)
            return false;
        text.remove_prefix(static_cast<std::size_t>(count));
    }
    return true;
}

// Bytes written to the socket that the client has not yet acknowledged.
std::uint64_t StillHeld(int socket)
{
    int held = 0;
    return ::ioctl(socket, SIOCOUTQ, &held) == 0 && held > 0 ? static_cast<std::uint64_t>(held) : 0;
}

const char* ReasonOf(int status)
{
    switch (status) {
    case 200: return "OK";
    case 206: return "Partial Content";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 405: return "Method Not Allowed";
    case 408: return "Request Timeout";
    case 416: return "Range Not Satisfiable";
    case 431: return "Request Header Fields Too Large";
    case 503: return "Service Unavailable";
    default: return "Error";
    }
}

// A response's head; a body of its own (an error's short text) follows when given.
std::string Response(int status, const std::string& headers, std::uint64_t length, std::string_view body = {})
{
    return "HTTP/1.1 " + std::to_string(status) + " " + ReasonOf(status) + "\r\n" + headers +
           "Content-Length: " + std::to_string(length) + "\r\nConnection: close\r\n\r\n" + std::string(body);
}

std::string ErrorResponse(int status, const std::string& headers = {})
{
    const std::string text = std::string(ReasonOf(status)) + "\n";
    return Response(status, headers + "Content-Type: text/plain\r\n", text.size(), text);
}

} // namespace

struct TOneFileServer::TConnection {
    int socket = -1;        // closed under the server's lock, so Stop never touches a reused one
    std::string address;    // "127.0.0.1"
    std::string client;     // "127.0.0.1:43210"
    bool device = false;
    bool told = false;      // armed when it came
    std::thread thread;
    bool answered = false;  // under the lock: only closing now, it holds no place
    std::atomic<bool> finished{false};
};

TOneFileServer::TOneFileServer(QByteArray bytes, std::string path, TServerLimits limits)
    : bytes_(std::move(bytes)), path_(std::move(path)), limits_(limits)
{
}

TOneFileServer::~TOneFileServer()
{
    Stop();
    if (listener_ >= 0)
        ::close(listener_);
}

TListening TOneFileServer::Listen(const std::string& address, int port)
{
    sockaddr_in target{};
    target.sin_family = AF_INET;
    if (::inet_pton(AF_INET, address.c_str(), &target.sin_addr) != 1)
        return {0, address + " is not an IPv4 address"};
    for (int candidate = port; candidate < port + kPortsTried && candidate <= 65535; ++candidate) {
        const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (socket < 0)
            return {0, std::string("cannot make a socket: ") + std::strerror(errno)};
        const int yes = 1;
        ::setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        ::setsockopt(socket, SOL_SOCKET, SO_SNDBUF, &kSendBuffer, sizeof kSendBuffer);
        target.sin_port = htons(static_cast<std::uint16_t>(candidate));
        const int error = ::bind(socket, reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0 && ::listen(socket, 128) == 0
                              ? 0
                              : errno;
        if (error == 0) {
            listener_ = socket;
            return {candidate, {}};
        }
        ::close(socket);
        if (error == EADDRINUSE)
            continue;
        if (error == EADDRNOTAVAIL)
            return {0, address + " is not an address of this PC"};
        if (error == EACCES)
            return {0, "port " + std::to_string(candidate) + " may not be bound by this user"};
        return {0, "cannot listen on " + address + ":" + std::to_string(candidate) + ": " + std::strerror(error)};
    }
    return {0, "ports " + std::to_string(port) + " to " + std::to_string(std::min(port + kPortsTried - 1, 65535)) + " of " +
                   address + " are all taken"};
}

void TOneFileServer::Start()
{
    if (listener_ < 0 || acceptThread_.joinable() || ::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    acceptThread_ = std::thread([this] { AcceptLoop(); });
}

void TOneFileServer::Stop()
{
    if (!acceptThread_.joinable())
        return;
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(wake_[1], &byte, 1);
    acceptThread_.join();
    std::list<std::unique_ptr<TConnection>> connections;
    {
        const std::lock_guard lock(mutex_);
        for (const auto& connection : connections_)
            if (connection->socket >= 0)
                ::shutdown(connection->socket, SHUT_RDWR);
        connections.swap(connections_);
    }
    for (const auto& connection : connections)
        if (connection->thread.joinable())
            connection->thread.join();
    ::close(wake_[0]);
    ::close(wake_[1]);
    wake_[0] = wake_[1] = -1;
}

void TOneFileServer::Arm(const std::string& deviceAddress)
{
    const std::lock_guard lock(mutex_);
    deviceAddress_ = deviceAddress;
    armed_ = true;
}

void TOneFileServer::AcceptLoop()
{
    while (true) {
        pollfd ready[2] = {{listener_, POLLIN, 0}, {wake_[0], POLLIN, 0}};
        if (::poll(ready, 2, -1) < 0 && errno != EINTR)
            return;
        if (ready[1].revents)
            return;
        ReapFinished();
        if (!(ready[0].revents & POLLIN))
            continue;
        const int socket = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (socket >= 0) {
            try {
                Admit(socket);
            } catch (...) {
                ::close(socket); // out of memory: this one connection goes, the server goes on
            }
        } else if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM)
            ::poll(nullptr, 0, 50); // out of descriptors: the waiting connection stays queued meanwhile
    }
}

void TOneFileServer::Admit(int socket)
{
    sockaddr_in peer{};
    socklen_t peerLength = sizeof peer;
    char dotted[INET_ADDRSTRLEN] = "?";
    if (::getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &peerLength) == 0)
        ::inet_ntop(AF_INET, &peer.sin_addr, dotted, sizeof dotted);
    auto connection = std::make_unique<TConnection>();
    connection->socket = socket;
    connection->address = dotted;
    connection->client = connection->address + ":" + std::to_string(ntohs(peer.sin_port));

    const std::lock_guard lock(mutex_);
    connection->told = armed_;
    connection->device = armed_ && connection->address == deviceAddress_;
    int sameKind = 0, sameAddress = 0;
    for (const auto& open : connections_) {
        if (open->finished || open->answered || open->device != connection->device)
            continue;
        ++sameKind;
        sameAddress += open->address == connection->address ? 1 : 0;
    }
    const bool hasPlace = connection->device ? sameKind < limits_.deviceAtOnce
                                             : sameKind < limits_.othersAtOnce && sameAddress < limits_.perAddress;
    if (!hasPlace) {
        if (connection->told) {
            TServeEvent event;
            event.client = connection->client;
            event.device = connection->device;
            event.status = 503;
            events_.push_back(event);
        }
        // Answered at once from this thread: a few bytes that fit any send buffer.
        const std::string refusal = ErrorResponse(503, "Retry-After: 5\r\n");
        [[maybe_unused]] const ssize_t sent = ::send(socket, refusal.data(), refusal.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        ::close(socket);
        return;
    }
    TConnection& admitted = *connection;
    connections_.push_back(std::move(connection));
    try {
        admitted.thread = std::thread([this, &admitted] {
            try {
                Serve(admitted);
            } catch (...) {
                // Nothing of a failed answer may end the program: the connection just closes.
            }
            Close(admitted);
        });
    } catch (...) {
        // No thread for it: the connection closes unanswered and is reaped like any other.
        ::close(admitted.socket);
        admitted.socket = -1;
        admitted.finished = true;
    }
}

void TOneFileServer::Close(TConnection& connection)
{
    const std::lock_guard lock(mutex_);
    if (connection.socket >= 0)
        ::close(connection.socket);
    connection.socket = -1;
    connection.finished = true;
}

void TOneFileServer::ReapFinished()
{
    std::list<std::unique_ptr<TConnection>> finished;
    {
        const std::lock_guard lock(mutex_);
        for (auto at = connections_.begin(); at != connections_.end();) {
            auto next = std::next(at);
            if ((*at)->finished)
                finished.splice(finished.end(), connections_, at);
            at = next;
        }
    }
    for (const auto& connection : finished)
        if (connection->thread.joinable())
            connection->thread.join();
}

void TOneFileServer::Serve(TConnection& connection)
{
    const int socket = connection.socket;
    const Clock::time_point begun = Clock::now();
    TServeEvent event;
    event.client = connection.client;
    event.device = connection.device;

    // The head, within the idle and header times and the size limit.
    std::string head;
    std::size_t headEnd = std::string::npos;
    bool ended = false; // the client went away before a whole request
    const Clock::time_point idleEnd = begun + std::chrono::milliseconds(limits_.idleMs);
    const Clock::time_point headerEnd = begun + std::chrono::milliseconds(limits_.headerMs);
    while ((headEnd = head.find("\r\n\r\n")) == std::string::npos && head.size() <= kMostHeaderBytes) {
        const int ready = WaitUntil(socket, POLLIN, head.empty() ? idleEnd : headerEnd);
        if (ready <= 0) {
            ended = ready < 0;
            event.status = ready == 0 ? 408 : 0;
            break;
        }
        char buffer[4096];
        const ssize_t count = ::recv(socket, buffer, sizeof buffer, 0);
        if (count < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (count <= 0) {
            ended = true;
            break;
        }
        head.append(buffer, static_cast<std::size_t>(count));
    }

    if (ended)
        return; // the client went away before a whole request: nothing to answer or tell
    std::string response;
    if (event.status == 408) {
        response = ErrorResponse(408);
    } else if (headEnd == std::string::npos || headEnd > kMostHeaderBytes) {
        event.status = 431;
        response = ErrorResponse(431);
    } else if (const std::optional<TRequestHead> request = ParseRequestHead(std::string_view(head).substr(0, headEnd)); !request) {
        event.status = 400;
        response = ErrorResponse(400);
    } else {
        event.method = request->method;
        event.path = request->path;
        switch (RouteRequest(request->method, request->path, path_)) {
        case TRoute::NotFound:
            event.status = 404;
            response = ErrorResponse(404);
            break;
        case TRoute::MethodNotAllowed:
            event.status = 405;
            response = ErrorResponse(405, "Allow: GET, HEAD\r\n");
            break;
        case TRoute::Serve: {
            const TRangeAnswer range = AnswerRange(request->range, Size());
            const std::string common = "Accept-Ranges: bytes\r\n";
            if (range.kind == TRangeKind::Unsatisfiable) {
                event.status = 416;
                response = ErrorResponse(416, common + "Content-Range: bytes */" + std::to_string(Size()) + "\r\n");
                break;
            }
            event.status = range.kind == TRangeKind::Part ? 206 : 200;
            event.offset = range.kind == TRangeKind::Part ? range.first : 0;
            const std::uint64_t length = range.kind == TRangeKind::Part ? range.last - range.first + 1 : Size();
            std::string headers = common + "Content-Type: application/octet-stream\r\n";
            if (range.kind == TRangeKind::Part)
                headers += "Content-Range: bytes " + std::to_string(range.first) + "-" + std::to_string(range.last) + "/" +
                           std::to_string(Size()) + "\r\n";
            event.length = request->method == "HEAD" ? 0 : length;
            Answer(connection, event, Response(event.status, headers, length));
            break;
        }
        }
    }
    if (!response.empty())
        SendAll(socket, response, limits_.stallMs);
    // Told before the connection closes, so that requests one after another are told in turn.
    event.seconds = std::chrono::duration<double>(Clock::now() - begun).count();
    if (event.Complete())
        event.delivered = event.sent - std::min(event.sent, StillHeld(socket));
    if (connection.told)
        Tell(event);

    // A clean close: the client reads the answer to its end before the connection goes. A
    // closing connection gives up its place, so a client asking again at once finds one; when
    // many are closing, the rest close at once.
    bool linger = !response.empty() || event.Complete();
    {
        const std::lock_guard lock(mutex_);
        connection.answered = true;
        linger = linger && std::count_if(connections_.begin(), connections_.end(), [](const auto& open) {
                               return open->answered && !open->finished;
                           }) <= kMostClosing;
    }
    if (linger) {
        ::shutdown(socket, SHUT_WR);
        const Clock::time_point lingerEnd = After(kLingerMs);
        char buffer[4096];
        while (WaitUntil(socket, POLLIN, lingerEnd) > 0 && ::recv(socket, buffer, sizeof buffer, 0) > 0) {
        }
    }
}

void TOneFileServer::Answer(TConnection& connection, TServeEvent& event, const std::string& head)
{
    const int socket = connection.socket;
    if (!SendAll(socket, head, limits_.stallMs))
        return;
    const bool counted = connection.device && event.method == "GET";
    Clock::time_point stalledAt = After(limits_.stallMs);
    while (event.sent < event.length) {
        // While the client's window is shut, the kernel is asked now and then how much it still
        // holds: once the connection is reset it forgets.
        const int ready = WaitUntil(socket, POLLOUT, std::min(stalledAt, After(kHeldLookMs)));
        event.delivered = event.sent - std::min(event.sent, StillHeld(socket));
        if (ready < 0 || (ready == 0 && Clock::now() >= stalledAt))
            return; // gone, or stalled
        if (ready == 0)
            continue;
        const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(kPiece, event.length - event.sent));
        const std::uint64_t at = event.offset + event.sent;
        const ssize_t count = ::send(socket, bytes_.constData() + at, piece, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (count < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (count <= 0)
            return;
        event.sent += static_cast<std::uint64_t>(count);
        stalledAt = After(limits_.stallMs);
        if (counted) {
            const std::lock_guard lock(mutex_);
            bytesSent_ += static_cast<std::uint64_t>(count);
            ranges_.Add(at, static_cast<std::uint64_t>(count));
        }
    }
}

void TOneFileServer::Tell(const TServeEvent& event)
{
    const std::lock_guard lock(mutex_);
    events_.push_back(event);
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
