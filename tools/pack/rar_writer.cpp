#include "pack/rar_writer.h"

#include <time.h>

#include <sstream>

#include "archive/crc32.h"
#include "archive/rar_cipher.h"

namespace osin {

namespace {

constexpr uint8_t kMarker[7] = {0x52, 0x61, 0x72, 0x21, 0x1A, 0x07, 0x00};
constexpr uint8_t kMainHeader = 0x73;
constexpr uint8_t kFileHeader = 0x74;
constexpr uint8_t kEndBlock = 0x7B;
constexpr int kMaxName = 259;

void Put16(std::string& s, uint32_t v) {
  s += char(v & 0xFF);
  s += char((v >> 8) & 0xFF);
}

void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

// Header bytes from HEAD_TYPE on; the CRC goes in front.
std::string Sealed(const std::string& body) {
  std::string h;
  Put16(h, Crc32(body.data(), body.size()) & 0xFFFF);
  return h + body;
}

// HEAD_TYPE, HEAD_FLAGS and HEAD_SIZE, the 5 bytes after HEAD_CRC.
std::string BlockStart(uint8_t type, uint32_t flags, size_t headSize) {
  std::string s(1, char(type));
  Put16(s, flags);
  Put16(s, uint32_t(headSize));
  return s;
}

}  // namespace

RarEntry StoredEntry(const std::string& name, const std::string& data, uint32_t dosTime,
                     uint32_t attributes) {
  RarEntry e;
  e.name = name;
  e.packed = data;
  e.unpackedSize = uint32_t(data.size());
  e.crc = Crc32(data.data(), data.size());
  e.dosTime = dosTime;
  e.attributes = attributes;
  return e;
}

uint32_t DosTimeFromUnix(int64_t unixTime) {
  time_t t = time_t(unixTime);
  struct tm tmv {};
#if defined(_WIN32)
  if (localtime_s(&tmv, &t) != 0) return 0x00210000u;
#else
  if (!localtime_r(&t, &tmv)) return 0x00210000u;
#endif
  if (tmv.tm_year < 80) return 0x00210000u;  // 1980-01-01 00:00:00
  if (tmv.tm_year > 80 + 127) tmv.tm_year = 80 + 127;
  uint32_t date = uint32_t((tmv.tm_year - 80) << 9 | (tmv.tm_mon + 1) << 5 | tmv.tm_mday);
  uint32_t clock = uint32_t(tmv.tm_hour << 11 | tmv.tm_min << 5 | tmv.tm_sec / 2);
  return date << 16 | clock;
}

RarWriter::RarWriter(std::ostream& out, bool solidArchive) : out_(out) {
  Write(std::string(reinterpret_cast<const char*>(kMarker), sizeof(kMarker)));
  std::string body = BlockStart(kMainHeader, solidArchive ? 0x0008 : 0, 13);
  Put16(body, 0);  // RESERVED1
  Put32(body, 0);  // RESERVED2
  Write(Sealed(body));
}

void RarWriter::CheckAdd(const RarEntry& entry) const {
  if (finished_) throw RarWriteError("archive already finished, cannot add " + entry.name);
  if (open_) throw RarWriteError("an entry is open, cannot add " + entry.name);
  if (entry.name.empty()) throw RarWriteError("an entry without a name");
  if (entry.name.size() > size_t(kMaxName))
    throw RarWriteError("entry name longer than 259 bytes: " + entry.name);
}

void RarWriter::StartCipher(const RarEntry& entry) {
  if (password_.empty()) throw RarWriteError("no password set to encipher " + entry.name);
  cipher_->Start(entry.unpackVersion, password_.data(), int(password_.size()));
}

std::string RarWriter::FileHeader(const RarEntry& entry, uint64_t packSize) const {
  if (packSize > 0xFFFFFFFFu) throw RarWriteError("entry of 4 GB or more: " + entry.name);
  std::string name = entry.name;
  for (char& c : name)
    if (c == '/') c = '\\';
  uint32_t flags = 0x8000 | entry.extraFlags;
  if (entry.solid) flags |= 0x0010;
  if (entry.encrypt) flags |= 0x0004;
  if (entry.directory) flags |= 0x00E0;
  std::string body = BlockStart(kFileHeader, flags, 32 + name.size());
  Put32(body, uint32_t(packSize));
  Put32(body, entry.directory ? 0 : entry.unpackedSize);
  body += char(entry.hostOs);
  Put32(body, entry.directory ? 0 : entry.crc);
  Put32(body, entry.dosTime);
  body += char(entry.unpackVersion);
  body += char(entry.method);
  Put16(body, uint32_t(name.size()));
  Put32(body, entry.attributes);
  body += name;
  return Sealed(body);
}

void RarWriter::Add(const RarEntry& entry) {
  CheckAdd(entry);
  std::string data = entry.directory ? std::string() : entry.packed;
  if (entry.encrypt && !entry.directory) {
    StartCipher(entry);
    size_t block = size_t(cipher_->BlockSize());
    data.resize((data.size() + block - 1) / block * block, '\0');
    cipher_->Encipher(reinterpret_cast<uint8_t*>(&data[0]), data.size());
  }
  Write(FileHeader(entry, data.size()));
  Write(data);
}

void RarWriter::Open(const RarEntry& entry) {
  CheckAdd(entry);
  encipher_ = entry.encrypt && !entry.directory;
  version_ = entry.unpackVersion;
  if (encipher_) StartCipher(entry);
  headerAt_ = out_.tellp();
  Write(std::string(32 + entry.name.size(), '\0'));
  dataAt_ = out_.tellp();
  if (headerAt_ < 0 || dataAt_ < 0) throw RarWriteError("cannot write the archive");
  sizeAtData_ = size_;
  written_ = 0;
  pending_.clear();
  open_ = true;
}

void RarWriter::Write(const uint8_t* bytes, size_t count) {
  written_ += count;
  if (written_ > 0xFFFFFFFFu) throw RarWriteError("entry of 4 GB or more");
  if (!encipher_) {
    Emit(reinterpret_cast<const char*>(bytes), count);
    return;
  }
  // Whole blocks go out enciphered; the rest waits for the next bytes.
  pending_.append(reinterpret_cast<const char*>(bytes), count);
  size_t block = size_t(cipher_->BlockSize()), whole = pending_.size() / block * block;
  cipher_->Encipher(reinterpret_cast<uint8_t*>(&pending_[0]), whole);
  Emit(pending_.data(), whole);
  pending_.erase(0, whole);
}

void RarWriter::Restart() {
  out_.seekp(dataAt_);
  if (!out_) throw RarWriteError("cannot write the archive");
  size_ = sizeAtData_;
  written_ = 0;
  pending_.clear();
  if (encipher_) cipher_->Start(version_, password_.data(), int(password_.size()));
}

void RarWriter::Close(const RarEntry& entry) {
  if (!open_ || entry.unpackVersion != version_ || (entry.encrypt && !entry.directory) != encipher_)
    throw RarWriteError("not the entry open: " + entry.name);
  if (encipher_ && !pending_.empty()) {
    pending_.resize(size_t(cipher_->BlockSize()), '\0');
    cipher_->Encipher(reinterpret_cast<uint8_t*>(&pending_[0]), pending_.size());
    Write(pending_);
  }
  std::string header = FileHeader(entry, size_ - sizeAtData_);
  std::streampos end = out_.tellp();
  out_.seekp(headerAt_);
  out_.write(header.data(), std::streamsize(header.size()));
  out_.seekp(end);
  if (!out_) throw RarWriteError("cannot write the archive");
  open_ = false;
}

void RarWriter::Finish() {
  if (finished_) return;
  if (open_) throw RarWriteError("an entry is still open");
  Write(Sealed(BlockStart(kEndBlock, 0x4000, 7)));
  out_.flush();
  if (!out_) throw RarWriteError("cannot write the archive");
  finished_ = true;
}

void RarWriter::Write(const std::string& bytes) {
  Emit(bytes.data(), bytes.size());
}

void RarWriter::Emit(const char* bytes, size_t count) {
  out_.write(bytes, std::streamsize(count));
  if (!out_) throw RarWriteError("cannot write the archive");
  size_ += count;
}

std::string WriteRarArchive(const RarEntry* entries, size_t count, bool solidArchive,
                            const std::string& password) {
  std::ostringstream out;
  RarWriter writer(out, solidArchive);
  writer.SetPassword(password);
  for (size_t i = 0; i < count; ++i) writer.Add(entries[i]);
  writer.Finish();
  return out.str();
}

}  // namespace osin
