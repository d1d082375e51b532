#pragma once
// Small file-system helpers the windows share.

#include <QString>

namespace platform {

// The common application data folder (35): $XDG_DATA_HOME when it is an absolute
// path, else ~/.local/share;
// the empty string when neither can be resolved, or for any other number.
QString GetSpecialFolder(int folder);

// True when the path's modification date and time can be read. Never throws.
bool FileExists(const QString& path);

// The name of the directory entry at path ("" when there is none). With
// withFolders=true any entry counts, a folder or a plain file alike (asking with the
// directory attribute widens the search, it does not narrow it); otherwise only an
// ordinary file does. Hidden entries never count.
QString DirEntry(const QString& path, bool withFolders);

// The name of the first ordinary file in folder, in name order: hidden files, folders
// and special files (sockets, devices) are passed over. "" when there is none or the
// folder is missing.
QString FirstFileName(const QString& folder);

// Creates a folder, and any missing folders above it; throws "Path/File access error"
// with the reason when it cannot.
void MakeFolder(const QString& path);

// Copies a file, the copy writable by its owner; throws "File not found" or
// "Path/File access error" on failure.
void CopyFile(const QString& from, const QString& to);

} // namespace platform
