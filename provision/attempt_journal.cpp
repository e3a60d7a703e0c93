// A station's journal of ended attempts (see attempt_journal.h).
#include "provision/attempt_journal.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <QUuid>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "provision/record_store_json.h"

namespace r7730::provision {
namespace {

QString Instant(const QDateTime& time)
{
    return InstantText(time);
}

QDateTime TimeOf(const QJsonValue& value)
{
    return value.toString().isEmpty() ? QDateTime() : QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
}

QString SystemError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

// The journal open and locked: refused when it is no regular file (a FIFO would block, a device
// would swallow the record). Opened for reading too, so that a FIFO without a reader opens and is
// named for what it is.
class TLockedFile {
public:
    TLockedFile(const QString& path, int flags) : path_(path)
    {
        fd_ = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW, 0600);
        if (fd_ < 0) {
            if (errno == ENOENT && !(flags & O_CREAT))
                return;
            Fail(QStringLiteral("cannot be opened: %1").arg(SystemError()));
        }
        struct stat info {};
        if (::fstat(fd_, &info) != 0)
            Fail(QStringLiteral("cannot be read: %1").arg(SystemError()));
        if (!S_ISREG(info.st_mode))
            Fail(QStringLiteral("is not a regular file"));
        ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
        if (::flock(fd_, LOCK_EX) != 0)
            Fail(QStringLiteral("cannot be locked: %1").arg(SystemError()));
    }
    ~TLockedFile()
    {
        if (fd_ >= 0)
            ::close(fd_); // the lock goes with it
    }
    TLockedFile(const TLockedFile&) = delete;
    TLockedFile& operator=(const TLockedFile&) = delete;

    bool Exists() const { return fd_ >= 0; }

    // Appends the lines in one write and syncs them to disk.
    void Append(const QByteArray& lines)
    {
        qint64 done = 0;
        while (done < lines.size()) {
            const ssize_t written = ::write(fd_, lines.constData() + done, static_cast<size_t>(lines.size() - done));
            if (written < 0 && errno == EINTR)
                continue;
            if (written <= 0)
                Fail(QStringLiteral("cannot be written: %1").arg(SystemError()));
            done += written;
        }
        if (::fsync(fd_) != 0)
            Fail(QStringLiteral("cannot be synced to disk: %1").arg(SystemError()));
    }

    QByteArray ReadAll()
    {
        QByteArray all;
        char buffer[65536];
        ::lseek(fd_, 0, SEEK_SET);
        while (true) {
            const ssize_t got = ::read(fd_, buffer, sizeof buffer);
            if (got < 0 && errno == EINTR)
                continue;
            if (got < 0)
                Fail(QStringLiteral("cannot be read: %1").arg(SystemError()));
            if (got == 0)
                return all;
            all.append(buffer, got);
        }
    }

    void Empty()
    {
        if (::ftruncate(fd_, 0) != 0 || ::fsync(fd_) != 0)
            Fail(QStringLiteral("cannot be emptied: %1").arg(SystemError()));
    }

private:
    [[noreturn]] void Fail(const QString& why)
    {
        throw EJournalError(QStringLiteral("The journal %1 %2.").arg(path_, why));
    }

    QString path_;
    int fd_ = -1;
};

QByteArray Line(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact) + '\n';
}

} // namespace

QByteArray AttemptJournalLine(const TAttempt& attempt)
{
    return QJsonDocument(QJsonObject{
                             {QStringLiteral("id"), attempt.id},
                             {QStringLiteral("plan"), QString::fromLatin1(attempt.planSha256)},
                             {QStringLiteral("plan_row"), attempt.planRow},
                             {QStringLiteral("label"), attempt.label},
                             {QStringLiteral("started"), Instant(attempt.started)},
                             {QStringLiteral("ended"), Instant(attempt.ended)},
                             {QStringLiteral("station"), attempt.station},
                             {QStringLiteral("process_id"), attempt.processId},
                             {QStringLiteral("operator"), attempt.operatorName},
                             {QStringLiteral("port"), attempt.port},
                             {QStringLiteral("model"), attempt.model},
                             {QStringLiteral("mac"), attempt.mac},
                             {QStringLiteral("firmware_before"), attempt.firmwareBefore},
                             {QStringLiteral("firmware_after"), attempt.firmwareAfter},
                             {QStringLiteral("result"), ResultText(attempt.result)},
                             {QStringLiteral("differs"), TextsJson(attempt.differs)},
                             {QStringLiteral("error"), attempt.error},
                             {QStringLiteral("fields"), FieldsJson(attempt.fields)},
                             {QStringLiteral("steps"), StepsJson(attempt.steps)},
                         })
        .toJson(QJsonDocument::Compact);
}

std::optional<TAttempt> AttemptOfJournalLine(const QByteArray& json)
{
    const QJsonObject object = QJsonDocument::fromJson(json).object();
    const std::optional<TAttemptResult> result = ResultNamed(object.value(QStringLiteral("result")).toString());
    if (!result)
        return std::nullopt;
    TAttempt attempt;
    attempt.id = object.value(QStringLiteral("id")).toInteger();
    attempt.planSha256 = object.value(QStringLiteral("plan")).toString().toLatin1();
    attempt.planRow = object.value(QStringLiteral("plan_row")).toInt();
    attempt.label = object.value(QStringLiteral("label")).toString();
    attempt.started = TimeOf(object.value(QStringLiteral("started")));
    attempt.ended = TimeOf(object.value(QStringLiteral("ended")));
    attempt.station = object.value(QStringLiteral("station")).toString();
    attempt.processId = object.value(QStringLiteral("process_id")).toInteger();
    attempt.operatorName = object.value(QStringLiteral("operator")).toString();
    attempt.port = object.value(QStringLiteral("port")).toString();
    attempt.model = object.value(QStringLiteral("model")).toString();
    attempt.mac = object.value(QStringLiteral("mac")).toString();
    attempt.firmwareBefore = object.value(QStringLiteral("firmware_before")).toString();
    attempt.firmwareAfter = object.value(QStringLiteral("firmware_after")).toString();
    attempt.result = *result;
    attempt.error = object.value(QStringLiteral("error")).toString();
    try {
        attempt.differs = TextsOfJson(object.value(QStringLiteral("differs")).toString());
        attempt.fields = FieldsOfJson(object.value(QStringLiteral("fields")).toString());
        attempt.steps = StepsOfJson(object.value(QStringLiteral("steps")).toString());
    } catch (const std::exception&) {
        return std::nullopt;
    }
    return attempt;
}

TAttemptJournal::TAttemptJournal(QString path)
    : path_(std::move(path)), instance_(QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

QString TAttemptJournal::Append(const TAttempt& attempt)
{
    if (path_.isEmpty())
        return {};
    if (!QDir().mkpath(QFileInfo(path_).absolutePath()))
        throw EJournalError(QStringLiteral("The journal %1 cannot be written: its folder cannot be made.").arg(path_));
    const QString key = QStringLiteral("%1-%2").arg(instance_).arg(++counter_);
    TLockedFile file(path_, O_RDWR | O_APPEND | O_CREAT);
    QJsonObject entry{{QStringLiteral("entry"), key}};
    entry.insert(QStringLiteral("attempt"), QJsonDocument::fromJson(AttemptJournalLine(attempt)).object());
    file.Append(Line(entry));
    return key;
}

void TAttemptJournal::MarkRecorded(const QString& key)
{
    if (path_.isEmpty() || key.isEmpty())
        return;
    TLockedFile file(path_, O_RDWR | O_APPEND | O_CREAT);
    file.Append(Line(QJsonObject{{QStringLiteral("recorded"), key}}));
}

int TAttemptJournal::Replay(const std::function<bool(const TAttempt& attempt)>& record)
{
    if (path_.isEmpty())
        return 0;
    TLockedFile file(path_, O_RDWR);
    if (!file.Exists())
        return 0;
    std::vector<std::pair<QString, TAttempt>> entries;
    QSet<QString> recorded;
    for (const QByteArray& line : file.ReadAll().split('\n')) {
        const QJsonObject object = QJsonDocument::fromJson(line).object();
        if (object.contains(QStringLiteral("recorded"))) {
            recorded.insert(object.value(QStringLiteral("recorded")).toString());
            continue;
        }
        const QString key = object.value(QStringLiteral("entry")).toString();
        const std::optional<TAttempt> attempt = AttemptOfJournalLine(
            QJsonDocument(object.value(QStringLiteral("attempt")).toObject()).toJson(QJsonDocument::Compact));
        if (!key.isEmpty() && attempt)
            entries.emplace_back(key, *attempt);
    }
    int replayed = 0;
    bool allRecorded = true;
    for (const auto& [key, attempt] : entries) {
        if (recorded.contains(key))
            continue;
        if (!record(attempt)) {
            allRecorded = false;
            break;
        }
        file.Append(Line(QJsonObject{{QStringLiteral("recorded"), key}}));
        ++replayed;
    }
    if (allRecorded)
        file.Empty(); // everything is in the store: the journal starts afresh
    return replayed;
}

} // namespace r7730::provision
