// What osin-pack puts into an archive: files gathered from folders, their
// packed data, and the archive written from them.
//
// The packed data of each entry come from a PackingMethod. StoredPacking
// keeps the bytes as they are (method 0x30); a compressing method takes its
// place without touching the rest. Files are read and their packed data
// written piece by piece: no file is ever held whole in memory.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "pack/rar_writer.h"
#include "pack/source.h"

namespace osin {

class PackError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One file to archive: where it is, and the archive name it gets (OEM code
// page, '\' separated).
struct SourceFile {
  std::filesystem::path path;
  std::string name;
  bool encrypt = false;
  // An entry made by osin-pack itself (the password-test entry): Content
  // holds its bytes, no file is read, and its time is fixed (1980-01-01)
  // so that the archive stays the same from run to run.
  bool generated = false;
  std::string content;
};

// Every regular file below Folder, named Prefix + its relative path in code
// page CodePage, sorted by that name byte by byte. Throws PackError naming
// the file whose name cannot be represented, or a folder that cannot be
// read.
std::vector<SourceFile> GatherFiles(const std::filesystem::path& folder, const std::string& prefix,
                                    int codePage);

// The longest entry name the setup's reader takes whole (it cuts longer
// ones), prefix included.
constexpr size_t kMaxEntryName = 259;
// The largest file a RAR 2 header can size.
constexpr uint64_t kMaxEntrySize = 0xFFFFFFFFu;

// Why the file Entry stands for cannot be packed ("a named pipe, not a
// file"...); empty for a regular file or a folder.
std::string NotPackable(const std::filesystem::directory_entry& entry);

// Where a packing method puts an entry's packed bytes.
class PackedSink {
 public:
  virtual ~PackedSink() = default;
  virtual void Write(const uint8_t* bytes, size_t count) = 0;
  // Drops what was written for the entry: its data start again.
  virtual void Restart() = 0;
  // Bytes written for the entry since it began or restarted.
  virtual uint64_t Written() const = 0;
};

class PackingMethod {
 public:
  virtual ~PackingMethod() = default;
  // Packs Source (read once from its start to its end, or again after a
  // Rewind) into Sink and sets Entry's method and unpack version, entries
  // in archive order. Entry's name, time and attributes are set already;
  // Entry.solid says whether the archive wants it to continue the previous
  // entry, and the method may clear it (or set extraFlags) as its stream
  // requires.
  virtual void Pack(ByteSource& source, RarEntry& entry, PackedSink& sink) = 0;
};

class StoredPacking : public PackingMethod {
 public:
  void Pack(ByteSource& source, RarEntry& entry, PackedSink& sink) override;
};

// Copies Source from where it stands to its end into Sink.
void CopySource(ByteSource& source, PackedSink& sink);

// How far the packing is: the file being packed (from 1) of how many, the
// bytes read so far of all files and of this one, and their sizes.
struct PackProgress {
  size_t index, count;
  uint64_t done, total;
  uint64_t fileDone, fileSize;
  const std::string& name;  // the entry's name, in the archive's code page
};

struct ArchiveOptions {
  bool solid = false;
  std::string password;  // enciphers the files marked encrypt
  // Called for each file once it is opened and measured, before it is
  // read, and again as its bytes are read (as often as the packing reads,
  // so a large file shows movement too).
  std::function<void(const PackProgress&)> progress;
  // Told when a file changed size while it was packed: its entry holds the
  // bytes read, which may mix two versions of the file. The text names the
  // file and both sizes; throwing from here stops the archive.
  std::function<void(const std::string& warning)> warn;
};

// Writes Files in the given order as a RAR archive to Out, each packed by
// Packer. Out must be seekable: each entry's header is written once its data
// are, in the room left before them. The archive ends at Out's final put
// position; bytes past it (an entry stored after its packed form came out
// longer, when the file shrank between the two readings) belong to no
// entry and WriteAtomically cuts them. Throws PackError (file cannot be
// read, entry refused) naming the file.
void WriteArchive(const std::vector<SourceFile>& files, const ArchiveOptions& options, PackingMethod& packer,
                  std::ostream& out);

// Writes Target through a temporary file beside it that is renamed into
// place once Produce has written everything, ending at the stream's final
// put position; on any failure the temporary file is removed and Target is
// left as it was.
void WriteAtomically(const std::filesystem::path& target, const std::function<void(std::ostream&)>& produce);

}  // namespace osin
