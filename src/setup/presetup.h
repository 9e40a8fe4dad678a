// Unpacking the project's control files (every "Presetup\" entry of the
// archive) into the run's temporary folder, behind the initialization window.
#pragma once

#include <stdint.h>

#include "platform/file.h"
#include "platform/str.h"

namespace osin {

// The fixed English words of a run refused for want of room: before a
// language is set, and when the language file lacks its own.
extern const char kNoSpaceText[];

// Whether an archive entry counts for a size sum (a lookup in a copy list).
using EntryFilter = bool (*)(void* context, const String& entryName);

// Sums the unpacked sizes of the entries of the run's archive
// (Session().SourceFile) whose names match Pattern (wildcards, case
// ignored), in archive order, passing over each entry in list mode. With a
// Filter only the entries it accepts count. With StopAtFirstMismatch the
// walk ends at the first name that does not match. An entry that cannot be
// passed over shows "File extracting error!" and ends the walk with what was
// counted. The sum is 64-bit: control files of 2 GB and more must not wrap
// into a requirement that always fits. When the archive cannot be opened
// the run-ending fault is raised and the result is 0.
int64_t SumEntrySizes(const String& pattern, EntryFilter filter, void* context, bool stopAtFirstMismatch);

// The target of a "Presetup\" entry below Folder (which ends in "\"): the
// entry name without its first nine characters. Empty when that rest would
// leave Folder (a ".." component, a drive or a leading "\") or is empty.
String PresetupTarget(const String& folder, const String& entryName);

// Extracts every leading "Presetup\" entry into Session().PresetupDir
// (Windows only). Shows the initialization window with its progress bar,
// checks the free space first, and reports each failure in an error box:
// "Cannot create init window!", "Insufficient free disk space!",
// "Can't extract file "<entry>".". True when every entry was written. When
// the archive cannot be opened the run-ending fault is pending and the
// result is false without a box of its own.
bool ExtractPresetup();

}  // namespace osin
