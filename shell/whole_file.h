#pragma once
// Files written whole: the settings file, r7730ctl's profiles, reports and exports; and the
// question a record store asks before it opens its file.
//
// Principles of operation. A path takes a whole file when nothing is there yet, or a regular
// file, or a link that leads to a regular file; anything else (a folder, a device node, a FIFO,
// a socket, a link to nothing or to one of those) is refused, so a write never swaps a device
// for a file or sends a password into a pipe. Through a link, the file it leads to is the one
// replaced and the link stays. The new text goes to a fresh file made beside that target with
// O_EXCL and O_NOFOLLOW under a name no one can guess, so nothing planted there is ever opened,
// and the fresh file is renamed over the target: a failure never leaves a half-written file.
//
// A file that grows for hours (a survey's CSV, a reading at a time) is written the same way,
// piece by piece: the pieces go to a fresh file beside the target whose name says which target
// it is for (".NAME.partial-k3X9qa"), so that when the writer is killed before its end the
// partial file keeps every piece so far and the next writer to that target can point it out.
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

namespace r7730 {

struct TWholeFileTarget {
    std::string path;    // the file a write replaces: the path itself, or where its link leads
    bool exists = false; // a regular file is there now
    std::string refusal; // what the path names when it cannot take a whole file ("a FIFO",
                         // "a link to a folder"); empty when it can
    // The folder the new file is made in.
    std::string Folder() const;
};

// Where a whole file written at path would go, or why it cannot go there. A record store asks
// the same before it opens its file in place.
TWholeFileTarget WholeFileTarget(const std::string& path);

// Writes content as the whole file at path (see above). mode: the new file's permissions; none
// keeps those of the file replaced (0644 for a new file). Returns false with errno set when the
// file cannot be written, EINVAL when WholeFileTarget refuses the path; nothing is changed then.
bool WriteWholeFile(const std::string& path, const std::string& content, std::optional<mode_t> mode);

// A whole file written in pieces (see above). Begin checks the path as WholeFileTarget does and
// makes the partial file; Append adds a piece at its end at once, so a kill keeps it; Finish
// renames the partial file over the target (when it fails, the partial file stays open as it
// was), Abandon removes it. Destroyed while open, the partial file stays where it is, with every
// piece appended.
class TGrowingWholeFile {
public:
    TGrowingWholeFile() = default;
    ~TGrowingWholeFile();
    TGrowingWholeFile(const TGrowingWholeFile&) = delete;
    TGrowingWholeFile& operator=(const TGrowingWholeFile&) = delete;

    // false with errno set when the partial file cannot be made, EINVAL when WholeFileTarget
    // refuses the path. mode as for WriteWholeFile.
    bool Begin(const std::string& path, std::optional<mode_t> mode);
    bool Append(const std::string& piece);
    bool Finish();
    void Abandon();
    bool IsOpen() const { return fd_ >= 0; }
    // The partial file while open; empty before Begin and after Finish or Abandon.
    const std::string& PartialPath() const { return partialPath_; }

private:
    void Close();

    int fd_ = -1;
    mode_t mode_ = 0644;
    std::string targetPath_;
    std::string partialPath_;
};

// Why a write to path failed with errno error, for a message after "cannot write PATH: ":
// "it is a FIFO, not a regular file" when WholeFileTarget refuses the path, else the system's
// text ("No space left on device").
std::string WholeFileFailure(const std::string& path, int error);

// The partial files that writers to path left behind (killed before their end), oldest first.
std::vector<std::string> PartialFilesOf(const std::string& path);

// Every byte of content to an open file, through short writes and interruptions; false with
// errno set when one fails.
bool WriteAllBytes(int fd, const std::string& content);

} // namespace r7730
