#include "pack/packer.h"

#include <errno.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>

#include "archive/crc32.h"
#include "pack/oem.h"
#include "pack/spawn.h"

namespace fs = std::filesystem;

namespace osin {

namespace {

// A file read piece by piece through one stream; looks further on seek
// there and back.
class FileSource : public ByteSource {
 public:
  explicit FileSource(const fs::path& path) : path_(path), in_(path, std::ios::binary) {
    if (!in_) throw PackError(path.string() + ": cannot open the file for reading (" + strerror(errno) + ")");
    in_.seekg(0, std::ios::end);
    std::streamoff end = in_.tellg();
    size_ = end > 0 ? uint64_t(end) : 0;
    Seek(0);
  }
  uint64_t Size() const override { return size_; }
  size_t Peek(uint64_t offset, uint8_t* out, size_t count) override {
    Seek(offset);
    size_t n = Get(out, count);
    Seek(at_);
    return n;
  }
  size_t Read(uint8_t* out, size_t count) override {
    size_t n = Get(out, count);
    at_ += n;
    return n;
  }
  void Rewind() override {
    at_ = 0;
    Seek(0);
  }

 private:
  void Seek(uint64_t offset) {
    in_.clear();
    in_.seekg(std::streamoff(offset));
  }
  size_t Get(uint8_t* out, size_t count) {
    in_.read(reinterpret_cast<char*>(out), std::streamsize(count));
    if (in_.bad()) throw PackError(path_.string() + ": cannot read the file (" + strerror(errno) + ")");
    return size_t(in_.gcount());
  }

  fs::path path_;
  std::ifstream in_;
  uint64_t size_ = 0, at_ = 0;
};

// What a source gives, counted and checksummed on the way; a file that
// grows to 4 GB while it is read is refused there.
class TallySource : public ByteSource {
 public:
  // Read is told the furthest point read so far after each read.
  TallySource(ByteSource& inner, const fs::path& path, std::function<void(uint64_t)> read)
      : inner_(inner), path_(path), read_(std::move(read)) {}
  uint64_t Size() const override { return inner_.Size(); }
  size_t Peek(uint64_t offset, uint8_t* out, size_t count) override {
    return inner_.Peek(offset, out, count);
  }
  size_t Read(uint8_t* out, size_t count) override {
    size_t n = inner_.Read(out, count);
    crc_ = UpdateCrc32(crc_, out, n);
    count_ += n;
    if (count_ > kMaxEntrySize)
      throw PackError(path_.string() + ": files of 4 GB or more cannot be archived");
    // A second reading (to store what would not shrink) does not move
    // the progress back.
    if (read_ && count_ > furthest_) read_(furthest_ = count_);
    return n;
  }
  void Rewind() override {
    inner_.Rewind();
    crc_ = 0xFFFFFFFFu;
    count_ = 0;
  }
  uint64_t Count() const { return count_; }
  uint32_t Crc() const { return ~crc_; }

 private:
  ByteSource& inner_;
  fs::path path_;
  std::function<void(uint64_t)> read_;
  uint32_t crc_ = 0xFFFFFFFFu;
  uint64_t count_ = 0, furthest_ = 0;
};

// The packed bytes of the entry the writer has open.
class WriterSink : public PackedSink {
 public:
  explicit WriterSink(RarWriter& writer) : writer_(writer) {}
  void Write(const uint8_t* bytes, size_t count) override { writer_.Write(bytes, count); }
  void Restart() override { writer_.Restart(); }
  uint64_t Written() const override { return writer_.Written(); }

 private:
  RarWriter& writer_;
};

int64_t UnixTime(fs::file_time_type t) {
  // file_time_type's clock has no portable epoch in C++17; measure against
  // now on both clocks.
  auto now = fs::file_time_type::clock::now();
  auto sys = std::chrono::system_clock::now() +
             std::chrono::duration_cast<std::chrono::system_clock::duration>(t - now);
  return std::chrono::duration_cast<std::chrono::seconds>(sys.time_since_epoch()).count();
}

}  // namespace

std::string NotPackable(const fs::directory_entry& entry) {
  std::error_code ec;
  fs::file_status target = entry.status(ec);
  bool link = entry.is_symlink(ec);
  if (fs::is_regular_file(target)) return "";
  if (fs::is_directory(target))
    return link ? "a link to a folder, which osin-pack does not follow (copy the folder in)" : "";
  if (link) return "a link to nothing (its target is missing, or it leads round to itself)";
  if (fs::is_fifo(target)) return "a named pipe, not a file";
  if (fs::is_socket(target)) return "a socket, not a file";
  if (fs::is_block_file(target) || fs::is_character_file(target)) return "a device, not a file";
  return "neither a file nor a folder";
}

std::vector<SourceFile> GatherFiles(const fs::path& folder, const std::string& prefix, int codePage) {
  std::vector<SourceFile> files;
  std::error_code ec;
  fs::recursive_directory_iterator it(folder, ec), end;
  if (ec) throw PackError(folder.string() + ": cannot read the folder (" + ec.message() + ")");
  // The folder the walk was about to enter when it fails there.
  fs::path last = folder;
  for (; it != end; it.increment(ec)) {
    if (ec) throw PackError(last.string() + ": cannot read the folder (" + ec.message() + ")");
    // Passing over what cannot be packed would leave the setup short of a
    // file without a word; the folder iterator does not follow links to
    // folders, so those would vanish the same way.
    std::string why = NotPackable(*it);
    if (!why.empty()) throw PackError(it->path().string() + ": " + why);
    if (it->is_directory()) {
      last = it->path();
      continue;
    }
    last = it->path().parent_path();
    // Refused before it is read whole into memory.
    std::error_code sizeError;
    if (it->file_size(sizeError) > kMaxEntrySize && !sizeError)
      throw PackError(it->path().string() + ": files of 4 GB or more cannot be archived");
    SourceFile f;
    f.path = it->path();
    std::string name;
    if (!ToOemName(fs::relative(it->path(), folder), codePage, name))
      throw PackError(it->path().string() + ": the name cannot be written in OEM code page " +
                      std::to_string(codePage));
    f.name = prefix + name;
    if (f.name.size() > kMaxEntryName)
      throw PackError(it->path().string() + ": the archive name is longer than 259 bytes");
    files.push_back(std::move(f));
  }
  // A folder that cannot be opened ends the walk as its end would.
  if (ec) throw PackError(last.string() + ": cannot read the folder (" + ec.message() + ")");
  std::sort(files.begin(), files.end(),
            [](const SourceFile& a, const SourceFile& b) { return a.name < b.name; });
  return files;
}

void CopySource(ByteSource& source, PackedSink& sink) {
  std::vector<uint8_t> buffer(1 << 20);
  while (size_t n = source.Read(buffer.data(), buffer.size())) sink.Write(buffer.data(), n);
}

void StoredPacking::Pack(ByteSource& source, RarEntry& entry, PackedSink& sink) {
  CopySource(source, sink);
  entry.method = kMethodStored;
  entry.unpackVersion = 20;
}

namespace {

// The size a file has now, 0 when it cannot be read (reading it will say so).
uint64_t FileBytes(const fs::path& path) {
  std::error_code ec;
  uint64_t size = fs::file_size(path, ec);
  return ec ? 0 : size;
}

}  // namespace

void WriteArchive(const std::vector<SourceFile>& files, const ArchiveOptions& options, PackingMethod& packer,
                  std::ostream& out) {
  RarWriter writer(out, options.solid);
  writer.SetPassword(options.password);
  bool first = true;
  uint64_t totalBytes = 0, bytesBefore = 0;
  if (options.progress) {
    for (const SourceFile& f : files) totalBytes += f.generated ? f.content.size() : FileBytes(f.path);
  }
  size_t index = 0;
  for (const SourceFile& f : files) {
    std::unique_ptr<ByteSource> file;
    if (f.generated) {
      file.reset(new MemorySource(f.content));
    } else {
      file.reset(new FileSource(f.path));
    }
    uint64_t opened = file->Size();
    if (opened > kMaxEntrySize)
      throw PackError(f.path.string() + ": files of 4 GB or more cannot be archived");
    std::function<void(uint64_t)> moved;
    if (options.progress) {
      ++index;
      moved = [&](uint64_t read) {
        options.progress(
            PackProgress{index, files.size(), bytesBefore + read, totalBytes, read, opened, f.name});
      };
      moved(0);
    }
    TallySource source(*file, f.path, moved);
    RarEntry e;
    e.name = f.name;
    if (f.generated) {
      e.dosTime = DosTimeFromUnix(0);
      e.attributes = 0x20;
    } else {
      std::error_code ec;
      auto when = fs::last_write_time(f.path, ec);
      e.dosTime = DosTimeFromUnix(ec ? 0 : UnixTime(when));
      auto perms = fs::status(f.path, ec).permissions();
      e.attributes = 0x20 | ((perms & fs::perms::owner_write) == fs::perms::none ? 0x01 : 0);
    }
    e.solid = options.solid && !first;
    e.encrypt = f.encrypt && !options.password.empty();
    try {
      writer.Open(e);
      WriterSink sink(writer);
      packer.Pack(source, e, sink);
      e.unpackedSize = uint32_t(source.Count());
      e.crc = source.Crc();
      writer.Close(e);
    } catch (const RarWriteError& err) {
      throw PackError(f.path.string() + ": " + err.what());
    }
    bytesBefore += source.Count();
    first = false;
    if (source.Count() != opened && options.warn)
      options.warn(f.path.string() + ": the file changed size while it was packed (" +
                   std::to_string(opened) + " bytes when opened, " + std::to_string(source.Count()) +
                   " read): its entry holds the bytes read, which may mix two versions of it; pack again "
                   "once nothing writes to it");
  }
  writer.Finish();
}

void WriteAtomically(const fs::path& target, const std::function<void(std::ostream&)>& produce) {
  fs::path temp = target;
  temp += ".osin-tmp";
  // A publisher names a fresh folder for each release's setup.
  std::error_code made;
  if (!target.parent_path().empty() && !fs::is_directory(target.parent_path(), made) &&
      !fs::create_directories(target.parent_path(), made))
    throw PackError(target.parent_path().string() + ": cannot create the folder (" + made.message() + ")");
  RemoveOnSignal(temp.string().c_str());
  try {
    std::streamoff end = -1;
    {
      std::ofstream out(temp, std::ios::binary | std::ios::trunc);
      if (!out) throw PackError(target.string() + ": cannot create the file (" + strerror(errno) + ")");
      try {
        produce(out);
        end = out.tellp();
        out.flush();
      } catch (const PackError&) {
        if (out) throw;  // a fault of what is packed
        // A full disk fails a write while some input file is packed: the
        // fault is the output's, not that file's.
      }
      if (!out) throw PackError(target.string() + ": cannot write the file (" + strerror(errno) + ")");
    }
    std::error_code ec;
    if (end >= 0 && fs::file_size(temp, ec) > uint64_t(end) && !ec) fs::resize_file(temp, uint64_t(end), ec);
    if (ec) throw PackError(temp.string() + ": cannot cut the file to its end (" + ec.message() + ")");
    fs::rename(temp, target, ec);
    RemoveOnSignal(nullptr);
    if (ec) throw PackError(target.string() + ": cannot replace the file (" + ec.message() + ")");
  } catch (...) {
    RemoveOnSignal(nullptr);
    std::error_code ec;
    fs::remove(temp, ec);
    throw;
  }
}

}  // namespace osin
