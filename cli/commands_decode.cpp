// r7730ctl decode: the frames of the program's daily log files, read back from their TX and RX
// lines (CP949 text, CR LF, among all the other lines; a torn last line is only skipped), each
// decoded with its summary, replies paired with their requests by order. Text for a person, or
// with --json one JSON object per frame (JSON Lines) with every field. The counts of frames and of
// the lines skipped go to standard error, so standard output holds frames only.
//
// Lines are read with a cap (shell/text_lines.h): a longer line is skipped and counted, and a
// file whose first line holds NUL bytes is refused as no text, so neither /dev/zero nor a
// gigabyte of one line fills the memory. A line shaped like a frame line that holds no frame
// (bad hex, a length that disagrees, an absurd length) is named on standard error with its
// number and why, and the exit code is 1.
#include <QDate>
#include <QFileInfo>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <memory>
#include <system_error>
#include <unistd.h>
#include <unordered_map>

#include "cli/commands.h"
#include "cli/failure.h"
#include "device/frame_export.h"
#include "protocol/frame.h"
#include "protocol/frame_anatomy.h"
#include "protocol/frame_log_line.h"
#include "protocol/request_pairing.h"
#include "shell/text_lines.h"

namespace r7730::cli {
namespace {

// What identical frames share: decoded once.
struct TDecoded {
    TFrameContent content;
    std::string summaryUtf8;
    std::optional<bool> matches; // --filter's verdict, once asked
};

TFrameDirection DirectionOf(TFrameSide side)
{
    return side == TFrameSide::Command ? TFrameDirection::Sent : TFrameDirection::Received;
}

// A descriptor this reader opened, closed when it is done.
struct TClosedAtEnd {
    int fd;
    ~TClosedAtEnd()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

struct TCounts {
    long long frames = 0, sent = 0, received = 0, errors = 0, shown = 0, skipped = 0;
    long long unreadable = 0; // lines shaped like frame lines that hold no frame
    long long tooLong = 0;    // lines past the cap, skipped unread
};

class TLogDecoder {
public:
    TLogDecoder(const TInvocation& invocation) : json_(invocation.json), errorsOnly_(invocation.errorsOnly)
    {
        if (!invocation.frameFilter.isEmpty()) {
            filter_ = QRegularExpression(invocation.frameFilter);
            if (!filter_.isValid())
                throw TCliFailure(kExitRefused, QStringLiteral("--filter: \"%1\" is not a valid regular expression: %2")
                                                    .arg(invocation.frameFilter, filter_.errorString()));
            filter_.optimize();
        }
    }

    void Read(const QString& name)
    {
        const QString shown = name == "-" ? QStringLiteral("standard input") : name;
        int fd = STDIN_FILENO;
        if (name != "-") {
            if (QFileInfo(name).isDir())
                throw TCliFailure(kExitRefused, QStringLiteral("%1 is a folder, not a log file").arg(name));
            fd = ::open(QFile::encodeName(name).constData(), O_RDONLY | O_CLOEXEC);
            if (fd < 0)
                throw TCliFailure(kExitRefused,
                                  QStringLiteral("cannot read %1: %2").arg(name, QString::fromLocal8Bit(std::strerror(errno))));
        }
        const TClosedAtEnd closer{name == "-" ? -1 : fd};
        // The daily file's name carries its date: R7730Setup_yyyymmdd.log.
        const QDate date = QDate::fromString(QFileInfo(name).completeBaseName().section('_', -1), QStringLiteral("yyyyMMdd"));
        TCappedLineReader reader(fd);
        bool first = true;
        long long number = 0;
        while (true) {
            std::optional<TCappedLine> line;
            try {
                line = reader.Next();
            } catch (const std::system_error& error) {
                throw TCliFailure(kExitRefused, QStringLiteral("cannot read %1: %2")
                                                    .arg(shown, QString::fromLocal8Bit(error.code().message().c_str())));
            }
            if (!line)
                break;
            ++number;
            if (first && !line->text.empty() && line->text != "\r") {
                first = false;
                // NUL bytes are no text: a device's stream, a disk's unwritten blocks.
                if (line->text.find('\0') != std::string_view::npos)
                    throw TCliFailure(kExitRefused, QStringLiteral("%1 holds NUL bytes: it is no text, not a log of the setup "
                                                                   "program")
                                                        .arg(shown));
                if (!LogLineStamp(line->text))
                    throw TCliFailure(kExitRefused, QStringLiteral("%1 is not a log of the setup program: its first line does "
                                                                   "not start with a time stamp such as [14:03:27]")
                                                        .arg(shown));
            }
            if (line->cut) {
                ++counts_.tooLong;
                continue;
            }
            const TFrameLineReading reading = ParseFrameLogLine(line->text);
            if (reading.frame) {
                Take(*reading.frame, date);
            } else if (!reading.fault.empty() && !(reading.torn && !line->ended)) {
                // A frame line cut short is only skipped when it is the last, still being written.
                ++counts_.unreadable;
                std::fflush(stdout);
                std::fprintf(stderr, "%s line %lld: %s\n", shown.toLocal8Bit().constData(), number, reading.fault.c_str());
            } else if (!line->text.empty() && line->text != "\r") {
                ++counts_.skipped;
            }
        }
    }

    const TCounts& Counts() const { return counts_; }

private:
    std::shared_ptr<TDecoded> DecodedOf(const TLoggedFrame& frame)
    {
        std::string key(1, frame.side == TFrameSide::Command ? 'T' : 'R');
        key.append(frame.bytes.begin(), frame.bytes.end());
        if (auto known = decoded_.find(key); known != decoded_.end())
            return known->second;
        auto decoded = std::make_shared<TDecoded>();
        decoded->content = DecodeFrameContent(DirectionOf(frame.side), TFrameKind::Frame, frame.bytes);
        decoded->summaryUtf8 = decoded->content.summary.toStdString();
        if (decoded_.size() > 4096)
            decoded_.clear();
        decoded_.emplace(std::move(key), decoded);
        return decoded;
    }

    // Seconds since an epoch that only moves forward: the file's date when its name has one,
    // otherwise a day counted on each time the clock goes back.
    std::chrono::microseconds When(int secondOfDay, const QDate& date)
    {
        if (date.isValid())
            day_ = date.toJulianDay();
        else if (secondOfDay < lastSecond_)
            ++day_;
        lastSecond_ = secondOfDay;
        return std::chrono::seconds(day_ * 86400 + secondOfDay);
    }

    void Take(const TLoggedFrame& frame, const QDate& date)
    {
        const std::uint64_t sequence = static_cast<std::uint64_t>(++counts_.frames);
        const auto at = When(frame.secondOfDay.value_or(lastSecond_), date);
        const std::uint8_t id = FrameMessageId(frame.bytes);
        std::optional<std::uint64_t> answers;
        if (frame.side == TFrameSide::Command) {
            ++counts_.sent;
            pairing_.Sent(sequence, id, at);
        } else {
            ++counts_.received;
            answers = pairing_.Received(id, at);
        }
        const std::shared_ptr<TDecoded> decoded = DecodedOf(frame);
        const TFrameContent& content = decoded->content;
        if (IsError(content.status))
            ++counts_.errors;
        if (errorsOnly_ && !IsError(content.status))
            return;
        if (!filter_.pattern().isEmpty()) {
            if (!decoded->matches)
                decoded->matches = filter_.match(content.summary).hasMatch() || filter_.match(content.hex).hasMatch();
            if (!*decoded->matches)
                return;
        }
        ++counts_.shown;
        const int second = frame.secondOfDay.value_or(0);
        char time[24];
        std::snprintf(time, sizeof time, "%02d:%02d:%02d", second / 3600, second / 60 % 60, second % 60);
        const QString day = date.isValid() ? date.toString(Qt::ISODate) : QString();
        if (json_) {
            TFrameRecord record;
            record.sequence = sequence;
            record.time = day.isEmpty() ? QString::fromLatin1(time) : day + QLatin1Char('T') + QLatin1String(time);
            record.direction = DirectionOf(frame.side);
            record.status = content.status;
            record.bytes = frame.bytes;
            record.summary = content.summary;
            record.answers = answers;
            const QByteArray line = JsonLine(record);
            std::fwrite(line.constData(), 1, static_cast<std::size_t>(line.size()), stdout);
            return;
        }
        std::string answer = answers ? "  (answers " + std::to_string(*answers) + ")" : std::string();
        std::printf("%6llu  %s%s%s  %s  %s  %4zu  %s%s\n", static_cast<unsigned long long>(sequence),
                    day.toLatin1().constData(), day.isEmpty() ? "" : " ", time, frame.side == TFrameSide::Command ? "TX" : "RX",
                    MessageIdText(id).c_str(),
                    frame.bytes.size(), decoded->summaryUtf8.c_str(), answer.c_str());
    }

    bool json_;
    bool errorsOnly_;
    QRegularExpression filter_;
    TRequestPairing pairing_;
    std::unordered_map<std::string, std::shared_ptr<TDecoded>> decoded_;
    TCounts counts_;
    long long day_ = 0;
    int lastSecond_ = 0;
};

} // namespace

int DecodeCommand(const TInvocation& invocation, TOutput& output)
{
    output.SetDocument(QJsonValue(QJsonValue::Undefined)); // the frames are the output, one line each
    std::ios::sync_with_stdio(false);
    TLogDecoder decoder(invocation);
    for (const QString& file : invocation.logFiles)
        decoder.Read(file);
    std::fflush(stdout);
    const TCounts& counts = decoder.Counts();
    std::fprintf(stderr, "%lld frames (%lld TX, %lld RX, %lld with errors), %lld shown; %lld other lines skipped", counts.frames,
                 counts.sent, counts.received, counts.errors, counts.shown, counts.skipped);
    if (counts.tooLong > 0)
        std::fprintf(stderr, "; %lld longer than %zu KiB skipped", counts.tooLong, kMaxTextLineBytes / 1024);
    if (counts.unreadable > 0)
        std::fprintf(stderr, "; %lld frame lines unreadable", counts.unreadable);
    std::fprintf(stderr, "\n");
    // A frame line that holds no frame is a fault of the log: a script must learn of it.
    return counts.unreadable > 0 ? kExitDevice : kExitDone;
}

} // namespace r7730::cli
