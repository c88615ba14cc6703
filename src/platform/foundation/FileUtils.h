#pragma once

#include "platform/foundation/FileIdentity.h"
#include "platform/foundation/UniqueFd.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <optional>

#include <sys/types.h>

class QFile;
class QRegularExpression;
class QRegularExpressionMatch;

namespace platform {

// Writes data to path so that the file holds either its old contents or all of the new ones, never
// a part: a temporary file in the same folder, flushed to disk, then renamed over the target. A link at
// the path is replaced by the file, never written through: folders that came from elsewhere may hold
// links to files that are not theirs.
bool writeFileAtomically(const QString& path, const QByteArray& data, QString* error = nullptr);

// Removes the temporary files of this user that writes by writeFileAtomically left in folder when the process
// was killed during them (links among them are removed, not followed); another user's are theirs, whatever
// their names. Only for a folder that nobody is writing into at the time, such as a project folder being
// opened. The number removed.
int removeStaleTemporaryFiles(const QString& folder);
// The same for the user `owner` (tests stand in for another user with it).
int removeStaleTemporaryFiles(const QString& folder, uid_t owner);

// What removeLeftovers takes away: the one kind of entry an earlier run of ours made at the names.
enum class LeftoverKind { RegularFile, Pipe };
// Removes from folder the entries of this user whose whole name matches pattern and that are of the kind,
// unless stillInUse, given the match, keeps one. A link is never followed nor removed, nor is anything else.
// The number removed.
int removeLeftovers(const QString& folder, const QRegularExpression& pattern, LeftoverKind kind,
                    const std::function<bool(const QRegularExpressionMatch&)>& stillInUse = {});
// Whether the process whose number a leftover's name holds still runs. One we may not signal runs all the
// same, and a number no process can have counts as running: such a name is no leftover of ours.
bool processRuns(const QString& number);
// Removes from folder (when set) the pipes named after the processes that made them, `pattern`'s first
// capture being the number, whose processes no longer run. The number removed.
int removePipesOfEndedProcesses(const QString& folder, const QRegularExpression& pattern);
// Marks the file open at fd as in use for as long as a descriptor of that open file stays open, however the
// process ends (a lock the system lets go of with it): a later start tells a live run's file from a killed
// one's by it. False when the file system keeps no such mark.
bool markInUse(int fd);
// Whether the file at path is marked in use (by any process, this one too), or cannot be told: only a file
// found unmarked is a leftover. A link is never followed.
bool isMarkedInUse(const QString& path);

// Makes an empty file of ours at path (the mode less the umask), where a fixed name is about to be
// written by us or a child program: whatever file, link or pipe stood there, a planted link above all, is
// removed first and never followed, and the file is made exclusively. False with a message in *error
// when it could not be done; a folder in the way is left alone.
bool createFreshFile(const QString& path, QString* error = nullptr, int mode = 0600);
// The same, the new file kept open for writing: a writer that goes on by name can later be told whether the
// name still stands for this file (FileIdentity). An invalid descriptor with a message in *error.
UniqueFd openFreshFile(const QString& path, QString* error = nullptr, int mode = 0600);

// A new empty file beside path, hidden and named after it (its path in *partial), for a large file that is
// written first and takes path's place only once whole (placePartialFile, commitPartialFile): whatever is at
// path stays until then. Made exclusively, 0644 less the umask like any new file of ours, and kept open for
// writing: a writer that goes on through the descriptor writes only into this file, whatever later takes
// either name. An invalid descriptor with a message in *error.
UniqueFd openPartialFileBeside(const QString& path, QString* partial, QString* error = nullptr);
// The same for a file that no other program can open by a name while it is written: an unnamed file in
// path's folder where the file system has them and it can later be given a name (*partial then empty), else a
// hidden one as above.
UniqueFd openUnnamedFileBeside(const QString& path, QString* partial, QString* error = nullptr);
// Whether openUnnamedFileBeside may make unnamed files (tests turn it off to reach the hidden names).
void setUnnamedFilesAllowed(bool allowed);
// The folder through which this process reaches its own open files by number ("/proc/self/fd"), the only way
// an unnamed file is given a name: openUnnamedFileBeside makes one only while that folder leads to it, else
// the file could be written whole and never placed. Tests name a folder that does not exist, as a system
// without /proc has none; an empty folder puts the usual one back.
void setOwnDescriptorFolder(const QString& folder);
// Why a partial file could not be given its name.
enum class PartialLoss { None, Removed, Replaced, Other };
// Gives the partial file open at fd path's name (a link at path is replaced, never followed), without a flush
// to disk: for a large file that is used at once. An unnamed one (partial empty) is first linked under a
// hidden name of its own. True when path then names that very file; false with a message in *error (and the
// reason in *loss) when the partial's name no longer leads to it or the rename failed.
bool placePartialFile(int fd, const QString& partial, const QString& path, QString* error = nullptr,
                      PartialLoss* loss = nullptr);
// The same, the data flushed to disk first and the folder after: for a file that must survive a crash.
bool commitPartialFile(int fd, const QString& partial, const QString& path, QString* error = nullptr);
// Removes the partial file open at fd, unless another file has taken its name meanwhile.
void removePartialFile(int fd, const QString& partial);
// The name through which a child program reaches the file open at fd in this process, whatever has since
// taken (or removed) the name it was made under: "/proc/<pid>/fd/<fd>". Under a descriptor folder that tests
// named (setOwnDescriptorFolder), "<that folder>/<fd>", which reaches nothing, as on a system without /proc.
QString descriptorPath(int fd);
// Whether descriptorPath(fd) leads to the file open at fd: false without /proc.
bool descriptorPathReaches(int fd);
// What a child program is handed to reach the file open at fd: descriptorPath(fd) where it leads there, else
// (without /proc) `name`, the file's own name, while it still names that file; empty when neither does.
QString pathReaching(int fd, const QString& name);
// The pattern (a regular expression without anchors) of the partial files made beside files whose names
// match namePattern, for removing what a killed writer left.
QString partialFileNamePattern(const QString& namePattern);

// The first of "<folder>/<base><ext>", "<folder>/<base>-1<ext>", "<folder>/<base>-2<ext>", ... that does
// not exist yet. ext includes its dot, or is empty.
QString firstFreePath(const QString& folder, const QString& base, const QString& ext);

// Moves a file or folder. Across file systems it copies and then deletes the source; if any step
// fails, the source is left in place, a partial target is removed, and false is returned with a message.
bool moveItem(const QString& from, const QString& to, QString* error = nullptr);

// Whether path, with every link in it resolved, is folder (links resolved too) or lies beneath it; false
// when either does not exist. A link inside folder that points out of it is outside.
bool liesInsideFolder(const QString& path, const QString& folder);

// Opens path for reading when it is a regular file (a link to one is followed), else answers an invalid
// descriptor with a message in *error. A pipe or a device is never opened, so reading never blocks or
// never ends: the path is looked at before the open, opened without blocking and looked at again through
// the descriptor, in case it was swapped between the two.
UniqueFd openRegularFile(const QString& path, QString* error = nullptr);
// The same for Qt's readers: file is open for reading on success, closed otherwise.
bool openRegularFile(QFile& file, const QString& path, QString* error = nullptr);
// Opens for reading the file that one of our writers left at path, to hand on through its descriptor
// (descriptorPath) rather than by the name: a regular file, a link at path never followed, and, when
// written tells how the writer left it, that very file unchanged since. An invalid descriptor with a
// message in *error otherwise.
UniqueFd openWrittenFile(const QString& path, const std::optional<FileIdentity>& written,
                         QString* error = nullptr);

// Turns a user's title into one path component: no "/", no NUL, never ".", ".." or a leading ".".
// An empty result becomes `fallback`.
QString sanitizedFileName(const QString& title, const QString& fallback);

} // namespace platform
