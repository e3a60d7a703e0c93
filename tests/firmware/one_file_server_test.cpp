// The one-file server answering real requests on 127.0.0.1: the file to exactly its path, byte
// ranges, nothing else of the disk, and each request told with the bytes that went out; only the
// device's address counted, and a place kept for it whatever other clients do.
#include <QElapsedTimer>
#include <algorithm>
#include <QThread>
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "firmware/one_file_server.h"
#include "firmware/server_self_check.h"

using namespace r7730::firmware;

namespace {

constexpr const char* kLoopback = "127.0.0.1";
constexpr const char* kDevice = "127.0.0.5"; // a client of its own address in the loopback network

QByteArray Image(int size)
{
    QByteArray bytes(size, '\0');
    for (int i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 131 + i / 256) & 0xFF);
    return bytes;
}

// A connection to the server on 127.0.0.1 leaving from the address from.
int Connect(int port, int receiveBuffer = 0, const char* from = kLoopback)
{
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    if (receiveBuffer > 0)
        ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    ::inet_pton(AF_INET, from, &local.sin_addr);
    EXPECT_EQ(::bind(socket, reinterpret_cast<const sockaddr*>(&local), sizeof local), 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    ::inet_pton(AF_INET, kLoopback, &address.sin_addr);
    EXPECT_EQ(::connect(socket, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    return socket;
}

// Reads until the server closes (or 5 s of silence), then closes.
QByteArray ReadToEnd(int socket)
{
    QByteArray answer;
    char buffer[65536];
    pollfd readable{socket, POLLIN, 0};
    while (::poll(&readable, 1, 5000) > 0) {
        const ssize_t count = ::recv(socket, buffer, sizeof buffer, 0);
        if (count <= 0)
            break;
        answer.append(buffer, count);
    }
    ::close(socket);
    return answer;
}

// Sends the request bytes as they are and reads the answer.
QByteArray Exchange(int port, const QByteArray& request, const char* from = kDevice)
{
    const int socket = Connect(port, 0, from);
    EXPECT_EQ(::send(socket, request.constData(), static_cast<std::size_t>(request.size()), MSG_NOSIGNAL), request.size());
    return ReadToEnd(socket);
}

QByteArray Request(const QByteArray& method, const QByteArray& target, const QByteArray& headers = {})
{
    return method + " " + target + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n" + headers + "\r\n";
}

QByteArray Get(int port, const QByteArray& method, const QByteArray& target, const QByteArray& headers = {})
{
    return Exchange(port, Request(method, target, headers));
}

QByteArray StatusLine(const QByteArray& answer)
{
    return answer.left(answer.indexOf("\r\n"));
}

QByteArray Body(const QByteArray& answer)
{
    return answer.mid(answer.indexOf("\r\n\r\n") + 4);
}

// Events until count have come (or 5 s passed).
std::vector<TServeEvent> EventsOf(TOneFileServer& server, std::size_t count)
{
    std::vector<TServeEvent> events;
    for (int waited = 0; events.size() < count && waited < 5000; waited += 10) {
        for (TServeEvent& event : server.TakeEvents())
            events.push_back(std::move(event));
        if (events.size() < count)
            QThread::msleep(10);
    }
    return events;
}

class OneFileServer : public ::testing::Test {
protected:
    void SetUp() override
    {
        const TListening listening = server.Listen(kLoopback, 18070);
        ASSERT_TRUE(listening.refusal.empty()) << listening.refusal;
        port = listening.port;
        server.Start();
        server.Arm(kDevice);
    }
    const QByteArray image = Image(300000);
    TOneFileServer server{image, "/R7730LX_v1.04.bin"};
    int port = 0;
};

} // namespace

TEST_F(OneFileServer, ServesTheFileWholeAndTellsTheRequest)
{
    const QByteArray answer = Get(port, "GET", "/R7730LX_v1.04.bin");
    EXPECT_EQ(StatusLine(answer), "HTTP/1.1 200 OK");
    EXPECT_TRUE(answer.contains("Content-Length: 300000\r\n"));
    EXPECT_EQ(Body(answer), image);

    const std::vector<TServeEvent> events = EventsOf(server, 1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].method, "GET");
    EXPECT_EQ(events[0].path, "/R7730LX_v1.04.bin");
    EXPECT_EQ(events[0].status, 200);
    EXPECT_EQ(events[0].length, 300000u);
    EXPECT_EQ(events[0].sent, 300000u);
    EXPECT_TRUE(events[0].client.starts_with("127.0.0.5:"));
    EXPECT_TRUE(events[0].device);
    EXPECT_TRUE(server.ServedWhole());
    EXPECT_EQ(server.BytesSent(), 300000u);
}

TEST_F(OneFileServer, AnswersHeadAndByteRanges)
{
    const QByteArray head = Get(port, "HEAD", "/R7730LX_v1.04.bin");
    EXPECT_EQ(StatusLine(head), "HTTP/1.1 200 OK");
    EXPECT_TRUE(head.contains("Content-Length: 300000\r\n"));
    EXPECT_TRUE(Body(head).isEmpty());

    const QByteArray range = Get(port, "GET", "/R7730LX_v1.04.bin", "Range: bytes=100-199\r\n");
    EXPECT_EQ(StatusLine(range), "HTTP/1.1 206 Partial Content");
    EXPECT_TRUE(range.contains("Content-Range: bytes 100-199/300000\r\n")) << range.left(400).toStdString();
    EXPECT_EQ(Body(range), image.mid(100, 100));

    const QByteArray past = Get(port, "GET", "/R7730LX_v1.04.bin", "Range: bytes=299995-400000\r\n");
    EXPECT_TRUE(past.contains("Content-Range: bytes 299995-299999/300000\r\n")) << past.left(400).toStdString();
    EXPECT_EQ(Body(past), image.right(5));

    const QByteArray tail = Get(port, "GET", "/R7730LX_v1.04.bin", "Range: bytes=-10\r\n");
    EXPECT_TRUE(tail.contains("Content-Range: bytes 299990-299999/300000\r\n"));
    EXPECT_EQ(Body(tail), image.right(10));

    const QByteArray beyond = Get(port, "GET", "/R7730LX_v1.04.bin", "Range: bytes=400000-\r\n");
    EXPECT_EQ(StatusLine(beyond), "HTTP/1.1 416 Range Not Satisfiable");
    EXPECT_TRUE(beyond.contains("Content-Range: bytes */300000\r\n"));

    const std::vector<TServeEvent> events = EventsOf(server, 5);
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[1].offset, 100u);
    EXPECT_EQ(events[1].sent, 100u);
    EXPECT_EQ(events[4].status, 416);
    EXPECT_EQ(server.Covered(), 110u); // HEAD sends no byte of the file; the tail overlaps
    EXPECT_FALSE(server.ServedWhole());
}

TEST_F(OneFileServer, ServesNothingElse)
{
    struct TCase {
        QByteArray method, target;
        QByteArray status;
    };
    const TCase cases[] = {
        {"GET", "/", "HTTP/1.1 404 Not Found"},
        {"GET", "/../R7730LX_v1.04.bin", "HTTP/1.1 404 Not Found"},
        {"GET", "/%2e%2e/%2e%2e/etc/passwd", "HTTP/1.1 404 Not Found"},
        {"GET", "/..%2fR7730LX_v1.04.bin", "HTTP/1.1 404 Not Found"},
        {"GET", "//R7730LX_v1.04.bin", "HTTP/1.1 404 Not Found"},
        {"GET", "/R7730LX_v1.04.bin/", "HTTP/1.1 404 Not Found"},
        {"GET", "/r7730lx_v1.04.bin", "HTTP/1.1 404 Not Found"},
        {"GET", "/CMakeCache.txt", "HTTP/1.1 404 Not Found"},
        {"POST", "/R7730LX_v1.04.bin", "HTTP/1.1 405 Method Not Allowed"},
        {"DELETE", "/R7730LX_v1.04.bin", "HTTP/1.1 405 Method Not Allowed"},
        // The same path, percent-encoded, is the same file.
        {"GET", "/R7730LX%5Fv1.04.bin", "HTTP/1.1 200 OK"},
    };
    for (const TCase& c : cases) {
        const QByteArray answer = Get(port, c.method, c.target);
        EXPECT_EQ(StatusLine(answer), c.status) << c.method.toStdString() << " " << c.target.toStdString();
        if (!c.status.endsWith("OK")) {
            EXPECT_FALSE(answer.contains(image.left(64))) << c.target.toStdString();
        }
    }
    const std::vector<TServeEvent> events = EventsOf(server, std::size(cases));
    ASSERT_EQ(events.size(), std::size(cases));
    EXPECT_EQ(events[2].status, 404);
    EXPECT_EQ(events[2].path, "/../../etc/passwd");
}

TEST_F(OneFileServer, ClosesRequestsWithHeadersOver8KiB)
{
    const QByteArray oneLong = Get(port, "GET", "/R7730LX_v1.04.bin", "X-Long: " + QByteArray(9000, 'a') + "\r\n");
    EXPECT_EQ(StatusLine(oneLong), "HTTP/1.1 431 Request Header Fields Too Large");
    EXPECT_FALSE(oneLong.contains(image.left(64)));
    QByteArray many;
    for (int i = 0; i < 12; ++i)
        many += "X-Part-" + QByteArray::number(i) + ": " + QByteArray(800, 'b') + "\r\n";
    const QByteArray split = Get(port, "GET", "/R7730LX_v1.04.bin", many);
    EXPECT_EQ(StatusLine(split), "HTTP/1.1 431 Request Header Fields Too Large");
    EXPECT_FALSE(split.contains(image.left(64)));
}

TEST_F(OneFileServer, TellsADownloadAbortedAtTheBytesThatWentOut)
{
    // A client with a small window that reads a part and goes away; the server cannot have got
    // the whole file out past its and the client's buffers.
    TOneFileServer big{Image(8 * 1024 * 1024), "/big.bin"};
    const TListening listening = big.Listen(kLoopback, 18170);
    ASSERT_TRUE(listening.refusal.empty());
    big.Start();
    big.Arm(kDevice);
    const int socket = Connect(listening.port, 32 * 1024, kDevice);
    const QByteArray request = "GET /big.bin HTTP/1.1\r\nHost: x\r\n\r\n";
    ::send(socket, request.constData(), static_cast<std::size_t>(request.size()), MSG_NOSIGNAL);
    std::size_t read = 0;
    char buffer[16384];
    while (read < 1024 * 1024) {
        const ssize_t count = ::recv(socket, buffer, sizeof buffer, 0);
        ASSERT_GT(count, 0);
        read += static_cast<std::size_t>(count);
    }
    ::close(socket); // unread bytes: the connection is reset

    const std::vector<TServeEvent> events = EventsOf(big, 1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_FALSE(events[0].Complete());
    EXPECT_EQ(events[0].length, 8u * 1024 * 1024);
    EXPECT_GE(events[0].sent, 1024u * 1024 - 1024); // less the response's head
    EXPECT_LT(events[0].sent, 8u * 1024 * 1024);
    // What reached the client: what it read, and what its receive buffer held when it went.
    EXPECT_GE(events[0].delivered, 1024u * 1024 - 1024);
    EXPECT_LE(events[0].delivered, events[0].sent);
    EXPECT_LT(events[0].delivered, 1024u * 1024 + 256 * 1024);
    EXPECT_FALSE(big.ServedWhole());
}

TEST_F(OneFileServer, TakesTheNextFreePortAndPassesItsSelfCheck)
{
    TOneFileServer second{image, "/R7730LX_v1.04.bin"};
    const TListening listening = second.Listen(kLoopback, port);
    EXPECT_GT(listening.port, port); // the next free one: another test may hold port + 1
    EXPECT_LT(listening.port, port + kPortsTried);
    second.Start();
    EXPECT_EQ(ServerSelfCheck(kLoopback, listening.port, "/R7730LX_v1.04.bin", "0"),
              "the server's own request got 300000 bytes that differ from the file");
    EXPECT_EQ(ServerSelfCheck(kLoopback, listening.port, "/other.bin", "0"), "the server answered its own request with 404");
    EXPECT_TRUE(second.TakeEvents().empty()); // not armed: the self-test is neither told nor counted
    EXPECT_EQ(second.BytesSent(), 0u);
    EXPECT_EQ(second.Listen("192.0.2.1", 18300).refusal, "192.0.2.1 is not an address of this PC");
}

TEST_F(OneFileServer, AnswersManyRangesWithOneSpanAndCountsDistinctBytes)
{
    QByteArray twenty = "Range: bytes=1-";
    for (int i = 1; i < 20; ++i)
        twenty += ",1-";
    const QByteArray many = Get(port, "GET", "/R7730LX_v1.04.bin", twenty + "\r\n");
    EXPECT_EQ(StatusLine(many), "HTTP/1.1 206 Partial Content");
    EXPECT_TRUE(many.contains("Content-Range: bytes 1-299999/300000\r\n")) << many.left(400).toStdString();
    EXPECT_TRUE(many.contains("Content-Length: 299999\r\n"));
    EXPECT_EQ(Body(many), image.mid(1));

    const QByteArray backwards = Get(port, "GET", "/R7730LX_v1.04.bin", "Range: bytes=5-1\r\n");
    EXPECT_EQ(StatusLine(backwards), "HTTP/1.1 416 Range Not Satisfiable");
    EXPECT_TRUE(backwards.contains("Content-Range: bytes */300000\r\n"));

    // The same bytes again count once.
    Get(port, "GET", "/R7730LX_v1.04.bin", "Range: bytes=0-9\r\n");
    Get(port, "GET", "/R7730LX_v1.04.bin", "Range: bytes=0-9\r\n");
    ASSERT_EQ(EventsOf(server, 4).size(), 4u);
    EXPECT_EQ(server.Covered(), 300000u);
    EXPECT_EQ(server.BytesSent(), 299999u + 20);
    EXPECT_TRUE(server.ServedWhole());
}

TEST_F(OneFileServer, ServesAnotherClientButCountsOnlyTheDevice)
{
    const QByteArray stranger = Exchange(port, Request("GET", "/R7730LX_v1.04.bin"), kLoopback);
    EXPECT_EQ(Body(stranger), image);
    std::vector<TServeEvent> events = EventsOf(server, 1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_FALSE(events[0].device);
    EXPECT_TRUE(events[0].client.starts_with("127.0.0.1:"));
    EXPECT_EQ(events[0].sent, 300000u);
    EXPECT_EQ(server.BytesSent(), 0u);
    EXPECT_EQ(server.Covered(), 0u);
    EXPECT_FALSE(server.ServedWhole());

    EXPECT_EQ(Body(Get(port, "GET", "/R7730LX_v1.04.bin")), image);
    events = EventsOf(server, 1);
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(events[0].device);
    EXPECT_TRUE(server.ServedWhole());
}

TEST(OneFileServerLimits, KeepAPlaceForTheDeviceWhateverOthersHold)
{
    const QByteArray image = Image(100000);
    TServerLimits limits;
    limits.idleMs = 1000;
    limits.headerMs = 1500;
    TOneFileServer server{image, "/fw.bin", limits};
    const TListening listening = server.Listen(kLoopback, 18270);
    ASSERT_TRUE(listening.refusal.empty()) << listening.refusal;
    server.Start();
    server.Arm(kDevice);

    // Four clients of one address dripping a header line at a time, 200 more of it that send
    // nothing, and one of another address that sends nothing.
    std::vector<int> drippers;
    for (int i = 0; i < 4; ++i) {
        drippers.push_back(Connect(listening.port));
        ::send(drippers.back(), "GET /fw.bin HTTP/1.1\r\n", 23, MSG_NOSIGNAL);
    }
    std::vector<int> idle;
    for (int i = 0; i < 200; ++i)
        idle.push_back(Connect(listening.port));
    const int quiet = Connect(listening.port, 0, "127.0.0.4");
    QThread::msleep(100);
    for (int dripper : drippers)
        ::send(dripper, "X-Drip: 1\r\n", 11, MSG_NOSIGNAL);

    // The device is served at once, and so is a client of another address.
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(Body(Exchange(listening.port, Request("GET", "/fw.bin"))), image);
    EXPECT_EQ(Body(Exchange(listening.port, Request("GET", "/fw.bin"), "127.0.0.3")), image);
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_TRUE(server.ServedWhole());

    // Of one address two get in and run out of time; the rest are turned away at once.
    QByteArrayList statuses;
    for (int dripper : drippers)
        statuses << StatusLine(ReadToEnd(dripper));
    std::sort(statuses.begin(), statuses.end());
    EXPECT_EQ(statuses, QByteArrayList({"HTTP/1.1 408 Request Timeout", "HTTP/1.1 408 Request Timeout",
                                        "HTTP/1.1 503 Service Unavailable", "HTTP/1.1 503 Service Unavailable"}));
    int turnedAway = 0;
    for (int socket : idle)
        turnedAway += StatusLine(ReadToEnd(socket)) == "HTTP/1.1 503 Service Unavailable" ? 1 : 0;
    EXPECT_EQ(turnedAway, 200);
    EXPECT_EQ(StatusLine(ReadToEnd(quiet)), "HTTP/1.1 408 Request Timeout");
    EXPECT_LT(clock.elapsed(), 3000);
    // Only the device's fetch counted.
    EXPECT_EQ(server.BytesSent(), 100000u);
}
