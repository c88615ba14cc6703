#pragma once

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

// Whole-tree file operations under moveItem. Paths are in the file system's encoding (QFile::encodeName).
namespace platform::filetree {

// Copies a file, folder tree, symbolic link or FIFO to `to`, which must not exist yet. Permission bits
// and times are kept, links are copied as links (never followed), and every copied file and folder is
// flushed to disk. Stops at the first failure with a message; what was made so far stays for the caller
// to remove.
bool copyTree(const QByteArray& from, const QByteArray& to, QString* error);

// Deletes a file or folder tree without following links. makeWritable first gives the owner full access
// to folders whose mode would stop the removal; for trees that are to go entirely.
bool removeTree(const QByteArray& path, bool makeWritable, QString* error);
// Runs as removeTree has opened a folder of the tree and is about to remove its entries, with the folder's
// path (tests turn the folder into a link there); none by default. Not for use while removals run.
void setBeforeEmptyingFolder(std::function<void(const QByteArray& folder)> hook);

// The entry names of the folder open at fd, without "." and ".."; `shown` names it in a message.
bool listOpenFolder(int fd, const QByteArray& shown, std::vector<QByteArray>* names, QString* error);
// Whether the folder open at fd holds, at any depth, nothing but folders and regular files of one name each:
// walked through descriptors, no link followed. Otherwise *error names the first other entry (a link, a hard
// link, a pipe, a socket, a device) by its path under `shown`.
bool holdsOnlyFilesAndFolders(int fd, const QByteArray& shown, QString* error);

// Flushes a folder's entries (new names, renames) to disk.
bool syncFolder(const QByteArray& folder, QString* error);

} // namespace platform::filetree
