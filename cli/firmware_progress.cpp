// The firmware download as it goes (see firmware_progress.h).
#include "cli/firmware_progress.h"

#include <QJsonObject>
#include <cstdio>
#include <unistd.h>

#include "protocol/code_page.h"

namespace r7730::cli {
namespace {

constexpr int kBarWidth = 30;

} // namespace

QString BytesText(std::uint64_t bytes)
{
    if (bytes >= 1024 * 1024)
        return QStringLiteral("%1 MiB").arg(QString::number(static_cast<double>(bytes) / (1024.0 * 1024.0), 'f', 1));
    if (bytes >= 1024)
        return QStringLiteral("%1 KiB").arg(QString::number(static_cast<double>(bytes) / 1024.0, 'f', 1));
    return QStringLiteral("%1 bytes").arg(bytes);
}

TFirmwareProgress::TFirmwareProgress(TOutput& output, std::uint64_t size)
    : output_(output), size_(size), bar_(!output.Json() && ::isatty(STDERR_FILENO) == 1)
{
}

TFirmwareProgress::~TFirmwareProgress()
{
    ClearBar();
}

void TFirmwareProgress::Request(const firmware::TServeEvent& event)
{
    const QString client = QString::fromStdString(event.client);
    // The path as asked, bytes of the device's code page.
    const QString path = QString::fromStdString(AnsiToUtf8(event.path));
    const bool file = event.status == 200 || event.status == 206;
    QString shortResult;
    QString result;
    if (file) {
        shortResult = event.method == "HEAD" ? QStringLiteral("head") : event.Complete() ? QStringLiteral("complete") : QStringLiteral("aborted");
        result = shortResult;
    } else if (event.method.empty()) {
        shortResult = QString::number(event.status);
        result = event.status == 408   ? QStringLiteral("408: no whole request in time")
                 : event.status == 503 ? QStringLiteral("503: turned away, too many connections at once")
                                       : QStringLiteral("%1: no request").arg(event.status);
    } else {
        shortResult = QString::number(event.status);
        result = QStringLiteral("%1 for %2").arg(event.status).arg(path);
    }
    const double rate = event.seconds > 0 ? static_cast<double>(event.sent) / event.seconds : 0;
    if (output_.Json()) {
        output_.JsonLine(QJsonObject{{"event", "request"},
                                     {"client", client},
                                     {"device", event.device},
                                     {"method", QString::fromStdString(event.method)},
                                     {"path", path},
                                     {"status", event.status},
                                     {"offset", static_cast<qint64>(event.offset)},
                                     {"sent", static_cast<qint64>(event.sent)},
                                     {"delivered", static_cast<qint64>(event.delivered)},
                                     {"of", static_cast<qint64>(event.length)},
                                     {"bytes_per_s", qRound64(rate)},
                                     {"result", shortResult}});
        return;
    }
    // Anyone else who fetches the URL is served all the same, but never taken for the device.
    QString line = event.device ? client : QStringLiteral("another client %1").arg(client);
    line += event.method.empty() ? QStringLiteral(": ") : QStringLiteral(" %1 %2: ").arg(QString::fromStdString(event.method), path);
    if (file && event.Complete())
        line += QStringLiteral("%1 of %2 bytes, %3/s, %4").arg(event.sent).arg(event.length).arg(BytesText(qRound64(rate)), result);
    else if (file) // what the kernel still held for the connection never reached the client
        line += QStringLiteral("about %1 of %2 bytes, %3/s, %4").arg(event.delivered).arg(event.length).arg(BytesText(qRound64(rate)), result);
    else
        line += result;
    if (!event.device)
        line += QStringLiteral(" (not counted)");
    Print(line);
}

void TFirmwareProgress::Progress(std::uint64_t covered)
{
    if (covered == covered_)
        return;
    covered_ = covered;
    const int percent = size_ == 0 ? 100 : static_cast<int>(covered * 100 / size_);
    if (bar_) {
        DrawBar();
        return;
    }
    const int quarters = percent / 25;
    if (quarters <= quartersTold_)
        return;
    quartersTold_ = quarters;
    const QString text = QStringLiteral("progress: %1% (%2 of %3)").arg(quarters * 25).arg(BytesText(covered), BytesText(size_));
    if (output_.Json())
        output_.JsonLine(QJsonObject{{"event", "progress"}, {"percent", quarters * 25}, {"covered", static_cast<qint64>(covered)},
                                     {"of", static_cast<qint64>(size_)}});
    else
        output_.Line(text);
}

void TFirmwareProgress::Note(const QString& kind, const QString& text)
{
    if (output_.Json())
        output_.JsonLine(QJsonObject{{"event", kind}, {"text", text}});
    else
        Print(text);
}

void TFirmwareProgress::Print(const QString& line)
{
    ClearBar();
    output_.Line(line);
    if (bar_ && covered_ > 0)
        DrawBar();
}

void TFirmwareProgress::DrawBar()
{
    const int percent = size_ == 0 ? 100 : static_cast<int>(covered_ * 100 / size_);
    const int filled = percent * kBarWidth / 100;
    const QString bar = QStringLiteral("\r[%1%2] %3% %4 of %5\033[K")
                            .arg(QString(filled, QLatin1Char('#')), QString(kBarWidth - filled, QLatin1Char('.')))
                            .arg(percent, 3)
                            .arg(BytesText(covered_), BytesText(size_));
    std::fputs(bar.toUtf8().constData(), stderr);
    std::fflush(stderr);
    barShown_ = true;
}

void TFirmwareProgress::ClearBar()
{
    if (!barShown_)
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    barShown_ = false;
}

} // namespace r7730::cli
