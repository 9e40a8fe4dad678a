// Archives from the writer, read back by lsar and unar as black-box peers.
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "archive/crc32.h"
#include "pack/rar_writer.h"
#include "testing.h"

namespace fs = std::filesystem;

namespace osin {
namespace {

class RarWriterPeers : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("osin-writer-" + std::to_string(getpid()) + "-" +
                                        ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Save(const std::string& bytes) {
    std::string path = (dir_ / "a.rar").string();
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  // Runs a command; its standard output, and its exit status in Status.
  std::string Run(const std::string& command, int* status = nullptr) {
    std::string out;
    FILE* p = popen((command + " 2>/dev/null").c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof(buf), p)) > 0) out.append(buf, n);
    int rc = pclose(p);
    if (status) *status = rc;
    return out;
  }
  std::string Unar(const std::string& archive, const std::string& password = "") {
    int status = 0;
    std::string pw = password.empty() ? "" : " -p '" + password + "'";
    Run("unar -q -D" + pw + " -o '" + (dir_ / "out").string() + "' '" + archive + "'", &status);
    return status == 0 ? "ok" : "failed";
  }
  std::string ReadOut(const std::string& name) {
    std::ifstream in(dir_ / "out" / name, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

  fs::path dir_;
};

std::string Pattern(size_t n, int seed) {
  std::string s(n, '\0');
  uint32_t x = uint32_t(seed) * 2654435761u + 1;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1664525u + 1013904223u;
    s[i] = char(x >> 24);
  }
  return s;
}

TEST_F(RarWriterPeers, StoredEntriesExtractWithNamesAndBytes) {
  RarEntry e[3] = {StoredEntry("Presetup\\Osin.ini", "[Config]\r\n", 0x5A6B7C3Du),
                   StoredEntry("Data/bin/app.exe", Pattern(70000, 1), 0x5A6B7C3Du),
                   StoredEntry("empty.txt", "", 0x5A6B7C3Du)};
  std::string path = Save(WriteRarArchive(e, 3, false));
  ASSERT_EQ(Unar(path), "ok");
  EXPECT_EQ(ReadOut("Presetup/Osin.ini"), "[Config]\r\n");
  EXPECT_EQ(ReadOut("Data/bin/app.exe"), Pattern(70000, 1));
  EXPECT_TRUE(fs::exists(dir_ / "out" / "empty.txt"));
  // lsar sees the names with the separators it uses, in archive order.
  std::string listing = Run("lsar '" + path + "'");
  size_t a = listing.find("Osin.ini"), b = listing.find("app.exe"), c = listing.find("empty.txt");
  ASSERT_NE(a, std::string::npos);
  ASSERT_NE(b, std::string::npos);
  ASSERT_NE(c, std::string::npos);
  EXPECT_LT(a, b);
  EXPECT_LT(b, c);
}

TEST_F(RarWriterPeers, HeaderFieldsAsLsarReadsThem) {
  // 2021-06-15 13:45:30 as DOS date and time.
  uint32_t dos = uint32_t((41 << 9 | 6 << 5 | 15) << 16 | (13 << 11 | 45 << 5 | 15));
  RarEntry e = StoredEntry("dir\\f.txt", "hello", dos, 0x21);
  std::string path = Save(WriteRarArchive(&e, 1, true));
  std::string info = Run("lsar -L '" + path + "'");
  EXPECT_NE(info.find("2021-06-15 13:45:30"), std::string::npos) << info;
  EXPECT_NE(info.find("RARAttributes:                  33"), std::string::npos) << info;
  EXPECT_NE(info.find("RAROS:                          2"), std::string::npos) << info;
  EXPECT_NE(info.find("RARCompressionVersion:          20"), std::string::npos) << info;
  EXPECT_NE(info.find("RARCompressionMethod:           48"), std::string::npos) << info;
  char crc[16];
  snprintf(crc, sizeof(crc), "0x%08x", Crc32("hello", 5));
  EXPECT_NE(info.find(crc), std::string::npos) << info;
  EXPECT_NE(info.find("Solid"), std::string::npos) << info;
}

TEST_F(RarWriterPeers, SolidFlaggedEntriesExtract) {
  RarEntry e[2] = {StoredEntry("a.bin", Pattern(5000, 2), 0x5A6B7C3Du),
                   StoredEntry("b.bin", Pattern(6000, 3), 0x5A6B7C3Du)};
  e[1].solid = true;
  std::string path = Save(WriteRarArchive(e, 2, true));
  ASSERT_EQ(Unar(path), "ok");
  EXPECT_EQ(ReadOut("a.bin"), Pattern(5000, 2));
  EXPECT_EQ(ReadOut("b.bin"), Pattern(6000, 3));
}

// Versions 13 and 15 select the two stream ciphers; unar deciphers them with
// the right password only.
TEST_F(RarWriterPeers, StreamCipheredEntriesExtractWithThePassword) {
  for (uint8_t version : {uint8_t(13), uint8_t(15)}) {
    RarEntry e = StoredEntry("s.bin", Pattern(3000, version), 0x5A6B7C3Du);
    e.unpackVersion = version;
    e.encrypt = true;
    std::string path = Save(WriteRarArchive(&e, 1, false, "Tr0ub4dor"));
    fs::remove_all(dir_ / "out");
    ASSERT_EQ(Unar(path, "Tr0ub4dor"), "ok") << int(version);
    EXPECT_EQ(ReadOut("s.bin"), Pattern(3000, version)) << int(version);
    fs::remove_all(dir_ / "out");
    EXPECT_EQ(Unar(path, "wrong"), "failed") << int(version);
  }
}

TEST_F(RarWriterPeers, BlockCipheredEntriesArePaddedAndExtract) {
  RarEntry e = StoredEntry("b.bin", Pattern(1001, 7), 0x5A6B7C3Du);
  e.encrypt = true;
  std::string bytes = WriteRarArchive(&e, 1, false, "pw");
  // PACK_SIZE at offset 7 of the file header (after marker and main header).
  const uint8_t* h = reinterpret_cast<const uint8_t*>(bytes.data()) + 20;
  EXPECT_EQ(uint32_t(h[7] | h[8] << 8), 1008u);
  ASSERT_EQ(Unar(Save(bytes), "pw"), "ok");
  EXPECT_EQ(ReadOut("b.bin"), Pattern(1001, 7));
}

// Data written in pieces of any size, after a false start, enciphered or
// not, give the archive that whole entries give.
TEST(RarWriter, EntriesWrittenInPiecesEqualWholeEntries) {
  std::string data;
  for (int i = 0; i < 1000; ++i) data += char(i * 7 + i / 13);
  for (bool encrypt : {false, true}) {
    RarEntry e[2] = {StoredEntry("a.bin", data, 0x50210000), StoredEntry("b\\c.bin", data.substr(0, 77), 0)};
    for (RarEntry& x : e) x.encrypt = encrypt;
    std::ostringstream out;
    RarWriter writer(out, false);
    writer.SetPassword("pw");
    for (const RarEntry& x : e) {
      writer.Open(x);
      writer.Write(reinterpret_cast<const uint8_t*>(data.data()), 40);  // past two cipher blocks
      writer.Restart();
      for (size_t at = 0, step = 1; at < x.packed.size(); at += step, step = step * 3 % 37 + 1)
        writer.Write(reinterpret_cast<const uint8_t*>(x.packed.data()) + at,
                     std::min(step, x.packed.size() - at));
      EXPECT_EQ(writer.Written(), x.packed.size());
      writer.Close(x);
    }
    writer.Finish();
    EXPECT_TRUE(out.str() == WriteRarArchive(e, 2, false, "pw")) << (encrypt ? "enciphered" : "plain");
  }
}

TEST(RarWriter, RefusesWhatTheFormatCannotHold) {
  std::ostringstream out;
  RarWriter w(out, false);
  EXPECT_THROW(w.Add(StoredEntry(std::string(260, 'n'), "x", 0)), RarWriteError);
  EXPECT_THROW(w.Add(StoredEntry("", "x", 0)), RarWriteError);
  RarEntry e = StoredEntry("x", "x", 0);
  e.encrypt = true;  // and no password
  EXPECT_THROW(w.Add(e), RarWriteError);
  w.Add(StoredEntry(std::string(259, 'n'), "x", 0));
  w.Finish();
  EXPECT_THROW(w.Add(StoredEntry("late", "x", 0)), RarWriteError);
}

TEST(RarWriter, HeaderChecksumsCoverTheHeaderFromByteTwo) {
  RarEntry e = StoredEntry("a\\b.txt", "abc", 0x12345678u, 0x20);
  std::string s = WriteRarArchive(&e, 1, false);
  const uint8_t* p = reinterpret_cast<const uint8_t*>(s.data());
  // Main header at 7, 13 bytes; file header at 20, 32 + 7 bytes.
  EXPECT_EQ(uint32_t(p[7] | p[8] << 8), Crc32(p + 9, 11) & 0xFFFF);
  EXPECT_EQ(uint32_t(p[20] | p[21] << 8), Crc32(p + 22, 30 + 7) & 0xFFFF);
  EXPECT_EQ(s.substr(52, 7), "a\\b.txt");
  // End block: type 0x7B, 7 bytes, last in the file.
  EXPECT_EQ(s.size(), size_t(20 + 39 + 3 + 7));
  EXPECT_EQ(uint8_t(s[s.size() - 5]), 0x7B);
}

TEST(DosTime, LocalTimeFieldsAndTheFloorOf1980) {
  EXPECT_EQ(DosTimeFromUnix(0) >> 16, uint32_t(1 << 5 | 1));  // before 1980
  time_t t = 1623764731;                                      // some moment in 2021
  struct tm tmv {};
  localtime_r(&t, &tmv);
  uint32_t d = DosTimeFromUnix(t);
  EXPECT_EQ(int(d >> 25) + 1980, tmv.tm_year + 1900);
  EXPECT_EQ(int((d >> 21) & 15), tmv.tm_mon + 1);
  EXPECT_EQ(int((d >> 16) & 31), tmv.tm_mday);
  EXPECT_EQ(int((d >> 11) & 31), tmv.tm_hour);
  EXPECT_EQ(int((d >> 5) & 63), tmv.tm_min);
  EXPECT_EQ(int(d & 31), tmv.tm_sec / 2);
}

}  // namespace
}  // namespace osin
