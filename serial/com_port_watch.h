#pragma once
// Serial ports coming and going, followed through the file system's change notices (inotify
// underneath, by QFileSystemWatcher): nothing polls.
//
// TPortReturnWatch follows one port after it vanished (its adapter pulled) and tells once when
// the same port is back. It watches the folder of the port's device path as named (so a link
// outside /dev, such as the simulated device's, is seen when it is made again; likewise a
// /dev/serial/by-id link) and the folder of the device file that name led to (for a link that
// stays while the device node behind it goes and comes). The port is back when its path leads to
// a device file again after it was seen gone, or to another device file than when the watch
// began. A folder that does not exist (/dev/serial/by-id goes with the last USB adapter) is
// stood in for by its nearest existing parent until it is back. It can also tell when the port
// is seen gone (a question about its return then no longer stands).
//
// TPortListWatch tells that the list of ports may have changed: an entry came or went in /dev,
// /dev/serial or /dev/serial/by-id, or in the working folder's ./dev of simulated devices.
//
// Both call their callback from the Qt event loop of the thread that made them; the callback
// must not raise (the caller guards it).
#include <functional>
#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

class QFileSystemWatcher;

namespace r7730 {

class TPortReturnWatch {
public:
    // onGone, when given, is called each time the port is seen gone while the watch runs.
    explicit TPortReturnWatch(std::function<void()> onBack, std::function<void()> onGone = {});
    ~TPortReturnWatch();
    TPortReturnWatch(const TPortReturnWatch&) = delete;
    TPortReturnWatch& operator=(const TPortReturnWatch&) = delete;

    // Starts following the port of this name (as Port takes it: "COM1", "ttyUSB0", a path);
    // a watch already running is replaced.
    void Start(const std::string& portName);
    void Stop();
    bool Watching() const { return watcher_ != nullptr; }
    const std::string& PortName() const { return portName_; }

private:
    struct TIdentity {
        dev_t device = 0;
        ino_t inode = 0;
        dev_t special = 0;
        bool operator==(const TIdentity&) const = default;
    };
    void FolderChanged();
    void WatchFolders();
    bool Present(TIdentity& identity) const;

    std::function<void()> onBack_;
    std::function<void()> onGone_;
    std::unique_ptr<QFileSystemWatcher> watcher_;
    std::string portName_;
    std::string path_;         // the device path as named (may be a link)
    std::string lastTarget_;   // where the link led when the watch began, "" for none
    TIdentity startIdentity_;  // the device file at the start, when present then
    bool presentAtStart_ = false;
    bool seenGone_ = false;
};

class TPortListWatch {
public:
    // Watches /dev, /dev/serial and /dev/serial/by-id below devFolder, and simulatedFolder
    // ("" for none) while it exists.
    explicit TPortListWatch(std::function<void()> onChange, const std::string& devFolder = "/dev",
                            const std::string& simulatedFolder = {});
    ~TPortListWatch();
    TPortListWatch(const TPortListWatch&) = delete;
    TPortListWatch& operator=(const TPortListWatch&) = delete;

private:
    void WatchFolders();

    std::function<void()> onChange_;
    std::unique_ptr<QFileSystemWatcher> watcher_;
    std::string devFolder_;
    std::string simulatedFolder_;
};

// The folder to watch for path to appear in: the folder that holds it, or while that does not
// exist, its nearest existing parent.
std::string NearestExistingFolder(const std::string& path);

} // namespace r7730
