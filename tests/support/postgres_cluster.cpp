// A throwaway PostgreSQL server on a Unix socket (see postgres_cluster.h).
#include "support/postgres_cluster.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <pwd.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace r7730::testing {
namespace {

const QString kPrivateUser = QStringLiteral("r7730");

// The bin folder of the newest server installed (Debian keeps each version apart), else none:
// then the tools are looked up on PATH.
QString ServerBinFolder()
{
    QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCollator numeric;
    numeric.setNumericMode(true);
    std::sort(versions.begin(), versions.end(), [&](const QString& a, const QString& b) { return numeric.compare(a, b) > 0; });
    for (const QString& version : versions) {
        const QString folder = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(version);
        if (QFile::exists(folder + QStringLiteral("/initdb")))
            return folder;
    }
    return {};
}

// setpriv's arguments that run a program as nobody when the tests run as root, and end it with
// SIGINT (a fast shutdown, for the server) when this process ends.
QStringList UnprivilegedPrefix()
{
    QStringList prefix = {QStandardPaths::findExecutable(QStringLiteral("setpriv"))};
    if (::geteuid() == 0) {
        const passwd* nobody = ::getpwnam("nobody");
        prefix << QStringLiteral("--reuid=%1").arg(nobody ? nobody->pw_uid : 65534)
               << QStringLiteral("--regid=%1").arg(nobody ? nobody->pw_gid : 65534) << QStringLiteral("--clear-groups");
    }
    return prefix << QStringLiteral("--pdeathsig=INT") << QStringLiteral("--");
}

bool GiveToServerUser(const QString& path)
{
    if (::geteuid() != 0)
        return true;
    const passwd* nobody = ::getpwnam("nobody");
    return nobody && ::chown(QFile::encodeName(path).constData(), nobody->pw_uid, nobody->pw_gid) == 0;
}

pid_t Spawn(const QStringList& command, const QString& logPath, const QString& folder)
{
    std::vector<std::string> parts;
    for (const QString& part : command)
        parts.push_back(part.toStdString());
    std::vector<char*> argv;
    for (std::string& part : parts)
        argv.push_back(part.data());
    argv.push_back(nullptr);
    const std::string log = logPath.toStdString();
    const std::string chdirTo = folder.toStdString();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    posix_spawn_file_actions_addchdir_np(&actions, chdirTo.c_str());
    pid_t pid = -1;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

QString ReadText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

TPostgresCluster::TPostgresCluster(TOptions options) : binFolder_(ServerBinFolder())
{
    const QString shared = qEnvironmentVariable("R7730_TEST_PGHOST");
    if (options.shared && !shared.isEmpty()) {
        socketFolder_ = shared;
        user_ = qEnvironmentVariable("R7730_TEST_PGUSER");
        return;
    }
    StartPrivate(options.durable);
}

TPostgresCluster::~TPostgresCluster()
{
    StopPrivate();
}

TPostgresCluster& TPostgresCluster::Shared()
{
    static TPostgresCluster cluster;
    return cluster;
}

void TPostgresCluster::StartPrivate(bool durable)
{
    // Short: a socket's path has room for about a hundred bytes.
    scratch_ = std::make_unique<QTemporaryDir>(QStringLiteral("/tmp/r7730-pg-XXXXXX"));
    const QString folder = scratch_->path();
    socketFolder_ = folder + QStringLiteral("/socket");
    user_ = kPrivateUser;
    if (!scratch_->isValid() || !QDir().mkpath(socketFolder_) || !GiveToServerUser(folder) || !GiveToServerUser(socketFolder_)) {
        error_ = QStringLiteral("cannot prepare a folder for the server in /tmp");
        return;
    }
    QString output;
    const QStringList initdb = UnprivilegedPrefix() << Tool(QStringLiteral("initdb"));
    QProcess process;
    process.setWorkingDirectory(folder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(initdb.first(), initdb.mid(1) + QStringList{"-D", folder + "/data", "-U", user_, "-A", "trust", "-E",
                                                               "UTF8", "--locale=C", "--no-sync", "--no-instructions"});
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        error_ = QStringLiteral("initdb failed: ") + QString::fromLocal8Bit(process.readAll()) + process.errorString();
        return;
    }

    durable_ = durable;
    StartServer();
}

bool TPostgresCluster::StartServer()
{
    if (!scratch_ || server_ > 0)
        return false;
    const QString folder = scratch_->path();
    QStringList server = UnprivilegedPrefix() << Tool(QStringLiteral("postgres")) << "-D" << folder + "/data" << "-k"
                                              << socketFolder_ << "-c" << "listen_addresses=";
    if (!durable_)
        server << "-c" << "fsync=off" << "-c" << "synchronous_commit=off" << "-c" << "full_page_writes=off";
    const QString log = folder + QStringLiteral("/server.log");
    server_ = Spawn(server, log, folder);
    if (server_ < 0) {
        error_ = QStringLiteral("cannot start %1").arg(server.join(u' '));
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (Run(QStringLiteral("pg_isready"), ClientArguments() << "-d" << "postgres" << "-t" << "1") != 0) {
        int status = 0;
        if (::waitpid(server_, &status, WNOHANG) == server_) {
            server_ = -1;
            error_ = QStringLiteral("the server stopped at its start: ") + ReadText(log);
            return false;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            error_ = QStringLiteral("the server did not become ready: ") + ReadText(log);
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

void TPostgresCluster::StopPrivate()
{
    StopServer();
    scratch_.reset();
}

bool TPostgresCluster::StopServer()
{
    if (server_ <= 0)
        return false;
    ::kill(server_, SIGINT); // fast shutdown: clients are cut off
    int status = 0;
    pid_t ended = 0;
    for (int i = 0; i < 600 && (ended = ::waitpid(server_, &status, WNOHANG)) == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (ended == 0) {
        ::kill(server_, SIGKILL);
        ::waitpid(server_, &status, 0);
    }
    server_ = -1;
    return true;
}

QString TPostgresCluster::Url(const QString& database) const
{
    return QStringLiteral("postgresql://%1%2/%3")
        .arg(user_.isEmpty() ? QString() : user_ + u'@', QString::fromLatin1(QUrl::toPercentEncoding(socketFolder_)), database);
}

QString TPostgresCluster::CreateDatabase()
{
    if (!error_.isEmpty())
        return {};
    static std::atomic<int> counter{0};
    const QString name = QStringLiteral("r7730_test_%1_%2_%3")
                             .arg(::getpid())
                             .arg(++counter)
                             .arg(QRandomGenerator::global()->generate() % 0x1000000, 6, 16, QChar(u'0'));
    QString output;
    if (Run(QStringLiteral("createdb"), ClientArguments() << name, &output) != 0) {
        error_ = QStringLiteral("createdb failed: ") + output;
        return {};
    }
    return name;
}

void TPostgresCluster::DropDatabase(const QString& database)
{
    Run(QStringLiteral("dropdb"), ClientArguments() << "--force" << "--if-exists" << database);
}

QString TPostgresCluster::Tool(const QString& name) const
{
    if (!binFolder_.isEmpty())
        return binFolder_ + u'/' + name;
    return QStandardPaths::findExecutable(name);
}

QStringList TPostgresCluster::ClientArguments() const
{
    QStringList arguments = {QStringLiteral("-h"), socketFolder_};
    if (!user_.isEmpty())
        arguments << QStringLiteral("-U") << user_;
    return arguments;
}

int TPostgresCluster::Run(const QString& tool, const QStringList& arguments, QString* output) const
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(Tool(tool), arguments);
    const bool finished = process.waitForFinished(120000);
    if (output)
        *output = QString::fromLocal8Bit(process.readAll()) + (finished ? QString() : process.errorString());
    if (!finished || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

} // namespace r7730::testing
