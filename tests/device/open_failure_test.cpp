// Why a port did not open, judged by the link on real pseudo-terminals: the reason each front
// end words its own way.
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "device/device_link.h"
#include "serial/com_platform.h"
#include "support/log_only_listener.h"
#include "support/pseudo_terminal.h"

using namespace r7730;

namespace {

// Another process that opens the port as the program does (and so holds it) until killed.
class THoldingProcess {
public:
    explicit THoldingProcess(const std::string& path)
    {
        IComPlatform& platform = SystemComPlatform();
        int ready[2];
        if (::pipe(ready) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            std::unique_ptr<IComDevice> device;
            const char opened = platform.Open(path, device).Ok() ? 1 : 0;
            [[maybe_unused]] const ssize_t told = ::write(ready[1], &opened, 1);
            ::pause();
            ::_exit(0);
        }
        char opened = 0;
        holding_ = pid_ > 0 && ::read(ready[0], &opened, 1) == 1 && opened == 1;
        ::close(ready[0]);
        ::close(ready[1]);
    }
    ~THoldingProcess()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
    bool Holding() const { return holding_; }
    pid_t Pid() const { return pid_; }

private:
    pid_t pid_ = -1;
    bool holding_ = false;
};

} // namespace

TEST(OpenFailure, AMissingPortAndAPortHeldByAnotherProgramSayWhy)
{
    r7730::testing::TLogOnlyListener listener;
    TDeviceLink link(listener);

    QTemporaryDir folder;
    const std::string missing = folder.filePath("ttyGone").toStdString();
    link.Port().SetPort(missing);
    const std::optional<TOpenFailure> gone = link.Open();
    ASSERT_TRUE(gone.has_value());
    EXPECT_EQ(gone->reason, TOpenFailureReason::NoSuchPort);
    EXPECT_EQ(gone->systemError, ENOENT);
    EXPECT_EQ(gone->devicePath, missing);
    EXPECT_EQ(gone->message, "Unable to open com port (win error code: 2)");
    EXPECT_FALSE(link.Port().Connected());

    r7730::testing::TPseudoTerminal pty;
    ASSERT_TRUE(pty.IsOpen());
    const std::string path = pty.SlavePath().toStdString();
    link.Port().SetPort(path);
    {
        const THoldingProcess other(path);
        ASSERT_TRUE(other.Holding());
        const std::optional<TOpenFailure> held = link.Open();
        ASSERT_TRUE(held.has_value());
        EXPECT_EQ(held->reason, TOpenFailureReason::HeldByAnother);
        ASSERT_EQ(held->holders.size(), 1u);
        EXPECT_EQ(held->holders[0].pid, other.Pid());
        EXPECT_FALSE(link.Port().Connected());
    }
    // Once the other program is gone the same port opens.
    EXPECT_FALSE(link.Open().has_value());
    EXPECT_TRUE(link.Port().Connected());
    link.Close();
    EXPECT_FALSE(link.Port().Connected());
}
