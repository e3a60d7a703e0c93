// Port presence through QFileSystemWatcher (see com_port_watch.h).
#include "serial/com_port_watch.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QStringList>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

#include "serial/com_platform.h"

namespace r7730 {

namespace fs = std::filesystem;

namespace {

// Makes the watcher watch exactly these folders.
void WatchExactly(QFileSystemWatcher& watcher, const QStringList& folders)
{
    QStringList stale;
    for (const QString& folder : watcher.directories())
        if (!folders.contains(folder))
            stale << folder;
    if (!stale.isEmpty())
        watcher.removePaths(stale);
    QStringList fresh;
    for (const QString& folder : folders)
        if (!watcher.directories().contains(folder) && !fresh.contains(folder))
            fresh << folder;
    if (!fresh.isEmpty())
        watcher.addPaths(fresh);
}

// Where a link points, made absolute against the link's folder; "" when path is no link.
std::string LinkTarget(const std::string& path)
{
    std::error_code error;
    const fs::path target = fs::read_symlink(path, error);
    if (error)
        return {};
    return (target.is_absolute() ? target : fs::path(path).parent_path() / target).lexically_normal().string();
}

} // namespace

std::string NearestExistingFolder(const std::string& path)
{
    fs::path folder = fs::path(path).parent_path();
    std::error_code error;
    while (!folder.empty() && !fs::is_directory(folder, error) && folder != folder.root_path())
        folder = folder.parent_path();
    return folder.empty() ? std::string(".") : folder.string();
}

TPortReturnWatch::TPortReturnWatch(std::function<void()> onBack, std::function<void()> onGone)
    : onBack_(std::move(onBack)), onGone_(std::move(onGone))
{
}

TPortReturnWatch::~TPortReturnWatch() = default;

void TPortReturnWatch::Start(const std::string& portName)
{
    Stop();
    portName_ = portName;
    path_ = fs::absolute(ComPortDevicePath(portName)).lexically_normal().string();
    lastTarget_ = LinkTarget(path_);
    presentAtStart_ = Present(startIdentity_);
    seenGone_ = !presentAtStart_;
    watcher_ = std::make_unique<QFileSystemWatcher>();
    QObject::connect(watcher_.get(), &QFileSystemWatcher::directoryChanged, watcher_.get(),
                     [this] { FolderChanged(); });
    WatchFolders();
}

void TPortReturnWatch::Stop()
{
    // Deleted later, as Stop may run inside the watcher's own signal; silent from now on.
    if (watcher_) {
        QFileSystemWatcher* watcher = watcher_.release();
        QObject::disconnect(watcher, nullptr, nullptr, nullptr);
        watcher->deleteLater();
    }
}

bool TPortReturnWatch::Present(TIdentity& identity) const
{
    struct stat file {};
    if (::stat(path_.c_str(), &file) != 0)
        return false;
    identity = {file.st_dev, file.st_ino, file.st_rdev};
    return true;
}

void TPortReturnWatch::WatchFolders()
{
    QStringList folders{QString::fromStdString(NearestExistingFolder(path_))};
    const std::string target = LinkTarget(path_);
    for (const std::string& led : {lastTarget_, target})
        if (!led.empty())
            folders << QString::fromStdString(NearestExistingFolder(led));
    WatchExactly(*watcher_, folders);
}

void TPortReturnWatch::FolderChanged()
{
    if (!watcher_)
        return;
    // Folders first (one may have gone or come), then the port: nothing made in between is missed.
    WatchFolders();
    TIdentity now;
    if (!Present(now)) {
        if (!std::exchange(seenGone_, true) && onGone_)
            onGone_();
        return;
    }
    if (!seenGone_ && presentAtStart_ && now == startIdentity_)
        return;
    Stop();
    onBack_();
}

TPortListWatch::TPortListWatch(std::function<void()> onChange, const std::string& devFolder,
                               const std::string& simulatedFolder)
    : onChange_(std::move(onChange)), watcher_(std::make_unique<QFileSystemWatcher>()), devFolder_(devFolder),
      simulatedFolder_(simulatedFolder.empty() ? std::string() : fs::absolute(simulatedFolder).lexically_normal().string())
{
    QObject::connect(watcher_.get(), &QFileSystemWatcher::directoryChanged, watcher_.get(), [this] {
        WatchFolders(); // /dev/serial/by-id comes with the first USB adapter and goes with the last
        onChange_();
    });
    WatchFolders();
}

TPortListWatch::~TPortListWatch() = default;

void TPortListWatch::WatchFolders()
{
    QStringList folders;
    std::error_code error;
    for (const std::string& folder : {devFolder_, devFolder_ + "/serial", devFolder_ + "/serial/by-id"})
        if (fs::is_directory(folder, error))
            folders << QString::fromStdString(folder);
    // The first simulator makes the folder: its parent is watched until then.
    if (!simulatedFolder_.empty())
        folders << QString::fromStdString(NearestExistingFolder(simulatedFolder_ + "/link"));
    WatchExactly(*watcher_, folders);
}

} // namespace r7730
