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
#include <optional>
#include <string>
#include <sys/types.h>

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

// Every byte of content to an open file, through short writes and interruptions; false with
// errno set when one fails.
bool WriteAllBytes(int fd, const std::string& content);

} // namespace r7730
