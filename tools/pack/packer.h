// What osin-pack puts into an archive: files gathered from folders, their
// packed data, and the archive written from them.
//
// The packed data of each entry come from a PackingMethod. StoredPacking
// keeps the bytes as they are (method 0x30); a compressing method takes its
// place without touching the rest.
#pragma once

#include <stdint.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "pack/rar_writer.h"

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

class PackingMethod {
 public:
  virtual ~PackingMethod() = default;
  // Fills Entry's packed data, method and unpack version from Data (the
  // file's bytes), entries in archive order. Entry's name, sizes, CRC, time
  // and attributes are set already; Entry.solid says whether the archive
  // wants it to continue the previous entry, and the method may clear it
  // (or set extraFlags) as its stream requires.
  virtual void Pack(const std::string& data, RarEntry& entry) = 0;
};

class StoredPacking : public PackingMethod {
 public:
  void Pack(const std::string& data, RarEntry& entry) override;
};

struct ArchiveOptions {
  bool solid = false;
  std::string password;  // enciphers the files marked encrypt
  // Called before each file is packed, with its position (from 1), the
  // number of files, the bytes of the files before it and of all files.
  std::function<void(size_t index, size_t count, uint64_t bytesBefore, uint64_t totalBytes,
                     const std::string& name)>
      progress;
};

// Writes Files in the given order as a RAR archive to Out, each packed by
// Packer. Throws PackError (file cannot be read, entry refused) naming the
// file.
void WriteArchive(const std::vector<SourceFile>& files, const ArchiveOptions& options, PackingMethod& packer,
                  std::ostream& out);

// Writes Target through a temporary file beside it that is renamed into
// place once Produce has written everything; on any failure the temporary
// file is removed and Target is left as it was.
void WriteAtomically(const std::filesystem::path& target, const std::function<void(std::ostream&)>& produce);

}  // namespace osin
