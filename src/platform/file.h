// File and path utilities: line-oriented file access through handles, path
// normalisation, folder creation and removal, free disk space, unique names,
// copying with progress and replacement of files in use at the next start.
//
// Every operation reports failure through its result (false, -1, 0 or an
// empty text as stated); none raises a fault. Paths are ANSI byte strings.
// On Windows they use "\"; the native (Linux) build, which osin-pack and the
// tests use, offers the operations that make sense there and separates path
// elements with "/" in the ones that walk a path (ForceFolders, DeleteTree).
// Windows-only operations are marked so.
//
// Sizes and offsets are 64-bit throughout: a file of 2 GB or more is an
// ordinary file here.
#pragma once

#include <stdint.h>

#include "platform/str.h"

namespace osin {

// File handles ----------------------------------------------------------

// On Windows the system's HANDLE itself; elsewhere an opaque value.
using FileHandle = void*;

// What OpenFileHandle gives on failure (Windows' INVALID_HANDLE_VALUE).
inline FileHandle InvalidFileHandle() {
  return reinterpret_cast<FileHandle>(static_cast<intptr_t>(-1));
}
// Neither the failure value nor the 0 a closed handle variable holds.
inline bool IsOpenFile(FileHandle handle) {
  return handle != nullptr && handle != InvalidFileHandle();
}

// Access, sharing, creation and attribute values carry Windows' own
// numbers, so Windows code passes them through unchanged.
enum FileAccess : uint32_t { kFileRead = 0x80000000u, kFileWrite = 0x40000000u };
enum FileShare : uint32_t { kShareNone = 0, kShareRead = 1, kShareWrite = 2, kShareDelete = 4 };
enum FileCreation : uint32_t {
  kCreateNew = 1,        // fails when the file exists
  kCreateAlways = 2,     // a new empty file, replacing one that exists
  kOpenExisting = 3,     // fails when the file does not exist
  kOpenAlways = 4,       // opens, creating the file when missing
  kTruncateExisting = 5  // opens an existing file and empties it
};
enum FileAttribute : uint32_t {
  kAttrReadOnly = 0x01,
  kAttrHidden = 0x02,
  kAttrSystem = 0x04,
  kAttrVolumeLabel = 0x08,
  kAttrDirectory = 0x10,
  kAttrArchive = 0x20,
  kAttrNormal = 0x80,
  kAttrReparsePoint = 0x400,
};
enum SeekOrigin : uint32_t { kSeekFromStart = 0, kSeekFromCurrent = 1, kSeekFromEnd = 2 };

// Opens or creates a file (Windows CreateFile). Attributes are used when
// the file is created (Windows only; the native build ignores them and the
// sharing mode). Returns InvalidFileHandle() on failure.
FileHandle OpenFileHandle(const String& path, uint32_t access, uint32_t share, uint32_t attributes,
                          FileCreation creation);
// Closes an open handle and sets the variable to 0 (nullptr); a variable
// that holds 0 or the failure value is only set to 0.
void CloseFileHandle(FileHandle& handle);

// Up to Count bytes into Buffer: the number read (0 at the end of the
// file), or -1 when the read fails.
int FileRead(FileHandle handle, void* buffer, int count);
// All Count bytes, or false (a failure or a short write).
bool FileWrite(FileHandle handle, const void* buffer, int count);
// Moves the position; the new position, or -1 on failure.
int64_t FileSeek(FileHandle handle, int64_t offset, SeekOrigin origin);
// The current position (a zero move from it), or -1.
int64_t CurrentOffset(FileHandle handle);
// The file's size, or -1.
int64_t FileHandleSize(FileHandle handle);
// True when the position is at or past the file's size (or unknown).
bool AtFileEnd(FileHandle handle);
// Ends the file at the current position.
bool FileTruncate(FileHandle handle);
// Writes the system's buffers of the file to the disk.
bool FileFlush(FileHandle handle);
// Gives the file its last-write time from an MS-DOS date (high 16 bits) and
// time (low 16 bits), taken as local time.
bool SetFileDosTime(FileHandle handle, uint32_t dosTime);

// Reads one line from the current position. A line ends at CR LF, at a
// bare CR or at a bare LF; the line end is consumed and not returned. At
// the end of the file the result is empty, so callers loop while
// !AtFileEnd. A final line without a line end is returned as it is. The
// file is read in pieces of 100 bytes, and the position is moved back to
// just after the line end, so reads through other means can follow. A read
// that fails moves the position to the end of the file, so such loops end.
String ReadTextLine(FileHandle handle);
// Writes Text and CR LF; false when the write fails.
bool WriteTextLine(FileHandle handle, const String& text);

// Paths and folders -----------------------------------------------------

// The separator this system's calls want between path elements.
#ifdef _WIN32
constexpr char kPathDelimiter = '\\';
#else
constexpr char kPathDelimiter = '/';
#endif

// The running program's own file, as long as the system reports it; empty
// when it cannot tell.
String ProgramFile();

// Windows only. The system's ...A calls give letters that the ANSI code
// page lacks as '?', and such a name opens nothing. PATH becomes the short
// form of WIDE, the same path from the system's wide call (which the
// function may overwrite), which holds no such letters where the volume
// keeps short names; PATH stays when the system cannot tell. The 95 line
// has neither wide calls nor such names.
void TakeShortForm(String& path, wchar_t* wide);

// The position (from 1) of Path's last "\", 0 when there is none. On
// Windows, in a double-byte code page (Japanese, Chinese, Korean) the second
// byte of a character may be 0x5C, the code of "\" ("表" is 0x95 0x5C in
// Japanese), and is never taken for one (IsLeadByte).
int LastBackslash(const String& path);
// The same for the first "\" at or after From, which must begin a
// character (1, or just past a "\").
int NextBackslash(const String& path, int from);

// The part of Path after its last "\" (all of it when there is none), and
// the part up to and including that "\" (empty when there is none).
String PathFileName(const String& path);
String PathFolder(const String& path);

// Path with "\" appended, unless it is empty or already ends in one.
String AddBackslash(const String& path);
// Path without one trailing "\", except a path of one character and a drive
// root of three ("C:\"), which keep it.
String StripBackslash(const String& path);

// The path names an existing folder.
bool FolderExists(const String& path);
// The path names an existing entry that is not a folder.
bool FileExists(const String& path);
// The path names an existing entry of any kind.
bool EntryExists(const String& path);

// Creates one folder; false when it could not be made (it may exist).
bool CreateFolder(const String& path);
// Sets the entry's attributes (FileAttribute bits). The native build knows
// only read-only: it clears or sets the write permissions.
bool SetEntryAttributes(const String& path, uint32_t attributes);
// Whether a file OpenFileHandle has just made with kCreateAlways and
// kAttrNormal carries Attributes already, so setting them would change
// nothing: on Windows such a file has the archive attribute alone; the
// native build's modes depend on the umask and an overwritten file's mode.
bool CreatedWith(uint32_t attributes);

// Creates the folder and every missing parent. On Windows a path of two
// characters or fewer (a bare drive such as "C:") creates nothing. Returns whether the
// folder exists afterwards; a failure to create a level is otherwise not
// reported, as the folder may have appeared meanwhile.
bool ForceFolders(const String& path);

// Deletes everything below Folder and, with RemoveRoot, Folder itself.
// Names beginning with a dot (".svn", ".cfg") go like any other; only the
// entries "." and ".." are passed over. Without RemoveRoot subfolders are emptied but kept; read-only
// files are deleted too; a folder that is a link (a reparse point) is
// removed as a link, never entered. Goes on past failures and returns true
// only when every deletion succeeded; false at once when Folder is not an
// existing folder. A bare drive ("C:") is never removed.
bool DeleteTree(const String& folder, bool removeRoot);

// What DeleteTree does with one entry found in a folder.
enum class TreeEntry { kPassOver, kFolder, kFile };
TreeEntry ClassifyTreeEntry(const String& name, uint32_t attributes);

// The short (8.3) form of Path, or Path unchanged when there is none (the
// file does not exist, or the native build).
String ShortPathOf(const String& path);

// Windows only. The root of Path's volume: "C:\" or "\\server\share\";
// empty (the current drive) for a relative path.
String DriveRootOf(const String& path);

// Size of the file (or folder entry) Path names, found by a directory search
// after the path is made full; -1 when nothing is found.
int64_t FileSizeOf(const String& path);

// Clears the file's attributes (so read-only files go too) and deletes it.
bool RemoveFileForced(const String& path);

// Free space available to the caller on the disk of Folder, in kilobytes
// (1,024 bytes); 0 when Folder is not an existing folder. Computed in 64
// bits, so disks with 2 TB or more free read right. On Windows the
// GetDiskFreeSpaceEx entry point is looked up at run time on systems that
// have it (Windows 98 and later, late releases of Windows 95 of build 1111
// and up, the NT line); elsewhere, or when it is missing, the older call
// gives the free clusters of the drive (FreeKBFromClusters).
int64_t FreeDiskKB(const String& folder);
// Windows only. Why Folder cannot be a destination, as a system error code;
// 0 when it can. A name that ends in a dot or a blank is cut by the
// system's calls, so the folder made would not be the one named; a drive
// or network share that cannot be reached has no room to report. Both
// would otherwise surface as a full disk. A name of 248 characters or more
// is one the system makes no folder of.
uint32_t FolderUnusable(const String& folder);
// Windows only. The system's text for an error code, without its line end.
String SystemErrorText(uint32_t code);
// Windows only. Path made full against the current folder and drive, as
// the system reads it ("." and ".." steps resolved, "/" turned to "\",
// trailing dots and blanks of the last name dropped); Path itself when the
// system cannot make it full.
String FullPathOf(const String& path);
// Kilobytes to require for Bytes: Bytes / 1024 rounded to the nearest
// integer, halves to even (what FreeDiskKB is compared with).
int64_t RequiredKB(int64_t bytes);
// Kilobytes of free clusters; a product too large for 64 bits saturates at
// INT64_MAX.
int64_t FreeKBFromClusters(uint32_t bytesPerSector, uint32_t sectorsPerCluster, uint32_t freeClusters);

// Unique names ----------------------------------------------------------

// A local date and time as the system reports it.
struct LocalStamp {
  int year;
  int month;  // 1..12
  int day;    // 1..31
  int hour;
  int minute;
  int second;
  int millisecond;
};

// The eight-character name for a moment: the day number (day of the year
// plus 365 x Y + Y div 4, Y the year modulo 10) as three base-32 digits,
// then the hundredths of a second since midnight as five; digits 0-9, A-V.
String UniqueNameAt(const LocalStamp& stamp);

// Windows only. A name for the current moment that no entry in Folder (a
// "\" is added when missing) has yet, file or folder; when the name is
// taken, the next moment's name is tried. The name is not claimed: a caller
// that needs a folder uses MakeUniqueFolder.
String MakeUniqueName(const String& folder);
// Windows only. Creates a new folder in Folder under a name of
// MakeUniqueName's form and returns that name in Name. A name that is taken
// at the moment of creation (a second setup started in the same hundredth
// of a second) is passed over for the next one. False, with Name empty, when
// the folder cannot be created for another reason (Folder missing,
// access denied).
bool MakeUniqueFolder(const String& folder, String& name);

// Copying ---------------------------------------------------------------

// Called after each piece is written: source, target, the bytes just
// written, the source's size, the bytes copied so far. False stops the
// copy.
using CopyProgressFn = bool (*)(void* context, const String& source, const String& target, int64_t written,
                                int64_t size, int64_t copied);

// Copies Source's contents to Target (a new file replacing an existing one,
// or with Append at the end of Target, which is created when missing),
// then gives Target Source's last-write time and attributes. The copy runs
// in pieces of 128 KB until the size Source had at the start is reached;
// an earlier end of Source is a failure. Progress may be null.
//
// On failure after Target was opened (a read or write error, an early end,
// the callback saying stop) nothing partial is left: a created Target is
// deleted, and an appended one is cut back to the length it had before.
// False when Source does not exist or either file cannot be opened.
bool CopyFileWithProgress(const String& source, const String& target, CopyProgressFn progress, void* context,
                          bool append);

// Gives the file behind To the last-write time of the file behind From.
bool CopyLastWriteTime(FileHandle from, FileHandle to);
// Gives To the attributes of From (on the native build, its permissions);
// false when From's cannot be read or To's cannot be set.
bool CopyAttributes(const String& from, const String& to);

// Replacement at the next start (Windows only) ---------------------------

// Arranges that at the next start of Windows Target is deleted and NewFile
// moved to Target's name. On the NT line through the system's delayed moves
// (MoveFileEx with MOVEFILE_DELAY_UNTIL_REBOOT). On the 95 line through
// the "Rename" section of wininit.ini in the Windows folder: the key "NUL"
// with the short form of Target (delete it), then the key short(Target)
// with the value short(NewFile); those two writes go through the INI value
// writer installed with SetRebootIniWriter, and without one the 95 line
// fails. True when both steps were accepted.
bool ReplaceAtReboot(const String& newFile, const String& target);
// Arranges that Path (a file, or a folder that will be empty by then) is
// deleted at the next start of Windows, in the same two ways: a delayed
// move to nowhere, or a "NUL" line of wininit.ini. Folders go on the NT
// line only. True when the request was accepted.
bool DeleteAtReboot(const String& path);

// Writes Key=Value into Section of the INI file File; true when accepted.
using IniValueWriter = bool (*)(const String& file, const String& section, const String& key,
                                const String& value);
// The configuration layer installs its INI value writer here at start.
void SetRebootIniWriter(IniValueWriter writer);

}  // namespace osin
