// osin-pack: builds setup programs and lists, tests and extracts RAR
// archives with the same reader the setup program uses.
//
//   osin-pack list FILE [--codepage N]
//   osin-pack test FILE [-p PASSWORD] [--codepage N]
//   osin-pack extract FILE -o DIR [-p PASSWORD] [--codepage N]
//   osin-pack archive DIR -o OUT.rar [PACKING] [--password PW] [--codepage N]
//   osin-pack build PROJECT -o SETUP.exe [--stub osin.exe] [--uninstaller UnOsin.exe] [PACKING]
//                   [--password PW] [--codepage N] [--strict] [--sign CERT --key KEY | --sign PFX]
//                   [--sign-password PW] [--timestamp URL]
//   osin-pack check PROJECT [--strict] [--codepage N]
//
// PACKING: -0 (store) .. -5 (best), default -3; --solid; --multimedia
// auto|off|force (audio mode for sampled sound, chosen by trial in auto).
// --codepage names the OEM code page of the entry names (437 unless given):
// archive and build write them in it, list, test and extract read them so.
// build with a password also writes the enciphered entry test.psw right
// after the Presetup entries, which the setup program's password page
// extracts to check the password. Without --stub, build uses the osin.exe
// next to osin-pack, or else the shipping build of the same build tree.
// When the project's Osin.ini asks for an uninstaller ([Config]
// Uninstall=1) and Presetup carries no UnOsin.exe of its own, build adds
// one: --uninstaller, else the UnOsin.exe built or shipped with the stub,
// else the one beside osin-pack or in the build tree's shipping build.
//
// build checks the project first (see pack/check.h) and prints what it
// finds; with --strict a finding stops it before anything is written. With
// --sign the setup is signed with Authenticode by osslsigncode, from a
// certificate and its key (PEM or DER) or from one PKCS#12 file.
//
// Exit status: 0 success; 1 some entries failed; 2 no archive, bad usage,
// findings under --strict or an error that stopped the work (one line on
// stderr says which).
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "archive/unpack.h"
#include "archive/unrar.h"
#include "config/inifile.h"
#include "pack/check.h"
#include "pack/compress/entry_packer.h"
#include "pack/local.h"
#include "pack/oem.h"
#include "pack/packer.h"
#include "pack/pe.h"
#include "pack/spawn.h"
#include "platform/fault.h"
#include "platform/file.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace osin {
namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitStop = 2;
// The setup program searches the 0x1FFF0 bytes after its first 7 for the
// marker and the main header's type 9 bytes later.
constexpr uint64_t kLastArchiveStart = 7 + 0x1FFF0 - 10;

struct Args {
  std::string verb, input, output, password, stub, uninstaller;
  std::string sign, signKey, signPassword, timestamp;
  bool solid = false;
  bool strict = false;
  int level = 3;
  Multimedia multimedia = Multimedia::kAuto;
  int codePage = 437;
  bool codePageGiven = false;
};

// The setup program osin-pack was shipped or built with: osin.exe in its own
// folder, else the shipping (i686) build of the same build tree.
std::string DefaultStub() {
  fs::path self = ProgramPath();
  if (self.empty()) return std::string();
  fs::path folder = self.parent_path();
  for (const fs::path& candidate :
       {folder / "osin.exe", folder / ".." / ".." / ".." / "win32" / "src" / "setup" / "osin.exe"}) {
    std::error_code error;
    if (fs::is_regular_file(candidate, error)) return candidate.lexically_normal().string();
  }
  return std::string();
}

// The uninstaller that goes with Stub: UnOsin.exe beside it (as shipped) or
// in the uninstaller's folder of the same build tree, else beside
// osin-pack or in the build tree's shipping build.
std::string DefaultUninstaller(const std::string& stub) {
  std::vector<fs::path> candidates;
  fs::path stubFolder = PathOf(stub).parent_path();
  candidates.push_back(stubFolder / "UnOsin.exe");
  candidates.push_back(stubFolder / ".." / "uninstall" / "UnOsin.exe");
  fs::path self = ProgramPath();
  if (!self.empty()) {
    fs::path folder = self.parent_path();
    candidates.push_back(folder / "UnOsin.exe");
    candidates.push_back(folder / ".." / ".." / ".." / "win32" / "src" / "uninstall" / "UnOsin.exe");
  }
  for (const fs::path& candidate : candidates) {
    std::error_code error;
    if (fs::is_regular_file(candidate, error)) return candidate.lexically_normal().string();
  }
  return std::string();
}

// Whether the configuration file says [Config] Uninstall=1, read by the
// setup program's own INI rules (the profile layer would look for the name
// in upper case, which a Linux file system does not find).
bool AsksForUninstaller(const fs::path& config) {
  std::ifstream in(config, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  TztIniFile ini(String(), true, TIniParseOptions());
  return LoadIniText(ini, s.str()) && ini.ReadString("Config", "Uninstall", String()) == "1";
}

// Adds the uninstaller to the Presetup entries Files when the project's
// configuration asks for one and carries none; says which one it took.
void AddUninstaller(const Args& a, const fs::path& project, const std::string& stubPath,
                    std::vector<SourceFile>& files) {
  fs::path config = project / "Presetup" / "Osin.ini";
  if (!AsksForUninstaller(config)) return;
  for (const SourceFile& f : files) {
    if (SameText(String(f.name.c_str()), "Presetup\\UnOsin.exe")) return;
  }
  std::string path = a.uninstaller.empty() ? DefaultUninstaller(stubPath) : a.uninstaller;
  if (path.empty() || !fs::is_regular_file(PathOf(path)))
    throw PackError(config.string() +
                    " asks for an uninstaller ([Config] Uninstall=1), but the project has no "
                    "Presetup\\UnOsin.exe and " +
                    (path.empty() ? std::string("none was found beside the stub or osin-pack")
                                  : path + " does not exist") +
                    "; name one with --uninstaller");
  SourceFile f;
  f.path = PathOf(path);
  f.name = "Presetup\\UnOsin.exe";
  files.push_back(f);
  std::sort(files.begin(), files.end(),
            [](const SourceFile& x, const SourceFile& y) { return x.name < y.name; });
  Print(stdout, "uninstaller: %s\n", path.c_str());
}

// What the password page extracts to check a password: any bytes do, the
// entry's CRC-32 decides.
const char kPasswordTestName[] = "test.psw";
const char kPasswordTestContent[] = "Osin setup password check\r\n";

const char kUsage[] =
    "usage: osin-pack list FILE [--codepage N]\n"
    "       osin-pack test FILE [-p PASSWORD] [--codepage N]\n"
    "       osin-pack extract FILE -o DIR [-p PASSWORD] [--codepage N]\n"
    "       osin-pack archive DIR -o OUT.rar [PACKING] [--password PW] [--codepage N]\n"
    "       osin-pack build PROJECT -o SETUP.exe [--stub osin.exe] [--uninstaller UnOsin.exe] "
    "[PACKING] [--password PW] [--codepage N]\n"
    "                 [--strict] [--sign CERT --key KEY | --sign PFX] [--sign-password PW] "
    "[--timestamp URL]\n"
    "       osin-pack check PROJECT [--strict] [--codepage N]\n"
    "PACKING: -0 (store) .. -5 (best, default -3), --solid, --multimedia auto|off|force";

[[noreturn]] void Usage(const std::string& why) {
  throw PackError(why + "\n" + kUsage);
}

Args Parse(int argc, const std::vector<std::string>& argv) {
  Args a;
  // Asked for, the usage goes to the output and ends with success.
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    a.verb = "help";
    return a;
  }
  if (argc < 3) Usage("missing arguments");
  a.verb = argv[1];
  // The options each command takes (build takes them all): one that does
  // not apply is refused rather than passed over, as --strict would be.
  const std::string all =
      " -o -p --password --stub --uninstaller --strict --sign --key --sign-password --timestamp --solid -N "
      "--multimedia --codepage ";
  const std::string taken = a.verb == "list"      ? " --codepage "
                            : a.verb == "test"    ? " -p --codepage "
                            : a.verb == "extract" ? " -o -p --codepage "
                            : a.verb == "archive" ? " -o -p --password --codepage --solid -N --multimedia "
                            : a.verb == "check"   ? " --strict --codepage "
                                                  : all;
  for (int i = 2; i < argc; ++i) {
    std::string o = argv[i];
    // The file or folder may stand before, between or after the options.
    if (a.input.empty() && (o.empty() || o[0] != '-')) {
      a.input = o;
      continue;
    }
    std::string name = o.size() == 2 && o[0] == '-' && o[1] >= '0' && o[1] <= '5' ? " -N " : " " + o + " ";
    if (all.find(name) != std::string::npos && taken.find(name) == std::string::npos)
      Usage(a.verb + " does not take " + o);
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) Usage(o + " needs a value");
      return argv[++i];
    };
    if (o == "-o") {
      a.output = value();
    } else if (o == "-p" || o == "--password") {
      a.password = value();
    } else if (o == "--stub") {
      a.stub = value();
    } else if (o == "--uninstaller") {
      a.uninstaller = value();
    } else if (o == "--strict") {
      a.strict = true;
    } else if (o == "--sign") {
      a.sign = value();
    } else if (o == "--key") {
      a.signKey = value();
    } else if (o == "--sign-password") {
      a.signPassword = value();
    } else if (o == "--timestamp") {
      a.timestamp = value();
    } else if (o == "--solid") {
      a.solid = true;
    } else if (o.size() == 2 && o[0] == '-' && o[1] >= '0' && o[1] <= '5') {
      a.level = o[1] - '0';
    } else if (o == "--multimedia") {
      std::string v = value();
      if (v == "auto") {
        a.multimedia = Multimedia::kAuto;
      } else if (v == "off") {
        a.multimedia = Multimedia::kOff;
      } else if (v == "force") {
        a.multimedia = Multimedia::kForce;
      } else {
        Usage("--multimedia takes auto, off or force, not " + v);
      }
    } else if (o == "--codepage") {
      std::string v = value();
      a.codePage = atoi(v.c_str());
      a.codePageGiven = true;
      if (a.codePage <= 0) Usage("--codepage needs a code page number, not " + v);
    } else {
      Usage((o[0] == '-' ? "unknown option " : "one file or folder only, not also ") + o);
    }
  }
  if (a.input.empty()) Usage("missing arguments");
  std::string probe;
  if (!ToOemName("a", a.codePage, probe) || !ToAnsiName("a", a.codePage, probe))
    Usage("--codepage " + std::to_string(a.codePage) + " is not a code page this system knows");
  // The setup reads the names through the user's OEM table: names written
  // in an ANSI code page would install under other names.
  if (int oem = OemCodePageFor(a.codePage))
    Usage("--codepage " + std::to_string(a.codePage) +
          " is an ANSI code page; archive names are in the OEM code page that goes with it (" +
          std::to_string(oem) + ")");
  if (!ToSetupText(a.password, a.codePage, a.password))
    throw PackError("the password cannot be written in code page " +
                    std::to_string(AnsiCodePageOf(a.codePage)) +
                    ", in which the setup reads what its user types");
  return a;
}

std::string DosTimeText(uint32_t t) {
  char s[32];
  snprintf(s, sizeof(s), "%04u-%02u-%02u %02u:%02u:%02u", (t >> 25) + 1980, (t >> 21) & 15, (t >> 16) & 31,
           (t >> 11) & 31, (t >> 5) & 63, (t & 31) * 2);
  return s;
}

// The method's RAR version: "2.0", "1.5", "2.9"...
std::string MethodText(const TRARHeader& h) {
  return std::to_string(h.UnpackVersion / 10) + "." + std::to_string(h.UnpackVersion % 10);
}

const char* ResultText(int r) {
  switch (r) {
    case kEntryBadData:
      return "CRC mismatch (damaged data, wrong password or another method)";
    case kEntryCannotCreate:
      return "output file cannot be created";
    case kEntryNoMemory:
      return "out of memory";
    case kEntryAborted:
      return "aborted";
    default:
      return "failed";
  }
}

// A CRC mismatch says only that the data came out wrong; for an archive
// made by another RAR the header often tells why.
std::string FailureText(const TRARHeader& h, int result, bool password) {
  if (result != kEntryBadData) return ResultText(result);
  const char* prefix = "CRC mismatch: ";
  if (h.HeaderFlags & 0x0003)  // continued from or in another volume
    return std::string(prefix) + "the entry is split over volumes, and a setup reads only its own file";
  if (h.MethodCode != kMethodStore && h.UnpackVersion != 20)
    return std::string(prefix) + "packed with the RAR " + MethodText(h) +
           " method; the setup decodes only the RAR 2.0 method";
  if ((h.HeaderFlags & kFlagEncrypted) && !password)
    return std::string(prefix) + "the entry is enciphered: give its password with -p";
  return ResultText(result);
}

// An entry name as this program prints it.
std::string Shown(const String& readerName) {
  return ToUtf8Name(readerName.c_str());
}

// Open(name) with File's name as the archive reader's file calls take
// it. Those calls take names in this system's code page: in a folder it
// cannot spell, the reader opens the file from within that folder, by its
// own name or else by its short one.
template <typename OpenFn>
auto OpenForReader(const std::string& file, OpenFn open) {
  std::error_code ec;
  fs::path path = fs::absolute(PathOf(file), ec);
  std::string name;
  if (SystemSpells(path, name)) return open(name);
  fs::path before = fs::current_path(ec);
  fs::current_path(path.parent_path(), ec);
  if (ec) throw PackError(file + ": cannot enter the file's folder (" + ec.message() + ")");
  if (!SystemSpells(path.filename(), name)) name = ShortFormOf(path.filename());
  if (name.empty()) {
    fs::current_path(before, ec);
    throw PackError(
        file +
        ": this system's code page cannot spell the file's name, and it has no short name to open "
        "it by: rename it");
  }
  auto opened = open(name);
  fs::current_path(before, ec);
  return opened;
}

// Why the reader found no archive in File: the older RAR format (a bare
// archive, or one behind its own self-extractor, tagged "RSFX" at offset
// 28) is refused, not missed.
std::string NoArchiveText(const std::string& file) {
  std::ifstream in(PathOf(file), std::ios::binary);
  char head[32] = {};
  in.read(head, sizeof(head));
  bool older = memcmp(head, "RE~^", 4) == 0 || (in && memcmp(head + 28, "RSFX", 4) == 0);
  return older ? " (an archive of the older RAR 1.x format, which is not read)"
               : " (no RAR 2.x archive found in the file's first 128 KB)";
}

// Opens the archive through TArchive; throws with the reader's message.
void RequireOpen(TArchive& a, const std::string& file) {
  if (a.IsOpen()) return;
  String fault = TakeFault();
  std::string why(fault.Data(), size_t(fault.Length()));
  std::error_code error;
  if (!fs::is_regular_file(PathOf(file), error))
    throw PackError(file +
                    (fs::is_directory(PathOf(file), error) ? ": a folder, not a file" : ": no such file"));
  throw PackError(file + ": " + (why.empty() ? "Cannot open archive!" : why) + NoArchiveText(file));
}

// The output is written beside its name and renamed over it at the end;
// over a folder that fails late, and over a device (/dev/null, as root) it
// would replace the device itself.
// Output is the file to write; Packed, the folders whose files go into it.
void RequireFileOutput(const std::string& output, const std::vector<fs::path>& packed) {
  std::error_code error;
  fs::file_status status = fs::status(PathOf(output), error);
  if (fs::exists(status) && !fs::is_regular_file(status))
    throw PackError(output + ": not a file (a folder or a device); -o names the file to write");
  // The next build would pack it: a setup that installs an old copy of itself.
  fs::path out = fs::weakly_canonical(fs::absolute(PathOf(output), error), error);
  for (const fs::path& folder : packed) {
    fs::path relative = out.lexically_relative(fs::weakly_canonical(fs::absolute(folder, error), error));
    if (!relative.empty() && *relative.begin() != "..")
      throw PackError(
          output + ": inside " + folder.string() +
          ", whose files are packed: the next build would pack this one too (write it elsewhere)");
  }
}

// An archive that ends inside a block has lost what followed it: the
// setup refuses it, and so does every command here.
bool ReportCutShort(const RarReader& reader) {
  if (!reader.EndedCutShort()) return false;
  TakeFault();
  Print(stdout, "FAILED: the archive is cut short: the file is incomplete or damaged\n");
  return true;
}

int List(const Args& a) {
  std::unique_ptr<TArchive> opened = OpenForReader(
      a.input, [](const std::string& name) { return std::make_unique<TArchive>(name.c_str(), kOpenList); });
  TArchive& arc = *opened;
  RequireOpen(arc, a.input);
  Print(stdout, "%s: archive at offset %lld%s\n", a.input.c_str(),
        static_cast<long long>(arc.Handle.ArchiveOffset()), arc.Handle.IsSolidArchive() ? ", solid" : "");
  Print(stdout, "%10s %10s  %-7s %-2s  %-19s  %-8s  %-8s  %s\n", "unpacked", "packed", "method", "",
        "modified", "attr", "crc", "name");
  while (!arc.Eof) {
    const TRARHeader& h = arc.Header;
    std::string method = h.MethodCode == kMethodStore ? "stored" : "RAR " + MethodText(h);
    Print(stdout, "%10u %10u  %-7s %c%c  %-19s  %08X  %08X  %s\n", h.UnpackedSize, h.PackedSize,
          method.c_str(), (h.HeaderFlags & kFlagSolid) ? 'S' : '-',
          (h.HeaderFlags & kFlagEncrypted) ? 'E' : '-', DosTimeText(h.ModTime).c_str(), h.Attributes,
          h.DataCRC, Shown(h.EntryName).c_str());
    arc.Process(aoSkip, "", nullptr);
  }
  return ReportCutShort(arc.Handle) ? kExitFailed : kExitOk;
}

int Test(const Args& a) {
  std::unique_ptr<TArchive> opened = OpenForReader(a.input, [](const std::string& name) {
    return std::make_unique<TArchive>(name.c_str(), kOpenExtract);
  });
  TArchive& arc = *opened;
  RequireOpen(arc, a.input);
  arc.SetPassword(a.password.c_str());
  int ok = 0, failed = 0;
  while (!arc.Eof) {
    if (arc.Process(aoTest, "", nullptr)) {
      ++ok;
      continue;
    }
    Print(stdout, "FAILED %s: result %d, %s\n", Shown(arc.Header.EntryName).c_str(), arc.LastResult(),
          FailureText(arc.Header, arc.LastResult(), !a.password.empty()).c_str());
    ++failed;
    arc.ReadNext();
  }
  if (ReportCutShort(arc.Handle)) ++failed;
  Print(stdout, "%d ok, %d failed\n", ok, failed);
  return failed ? kExitFailed : kExitOk;
}

// Where extract writes an entry whose name this system's code page cannot
// spell, before it gets that name.
const char kExtracting[] = ".osin-pack-extracting";

// Moves From to To, making To's folders; From is gone either way.
bool MoveInto(const std::string& from, const fs::path& to) {
  std::error_code ec, removed;
  fs::create_directories(to.parent_path(), ec);
  fs::rename(from, to, ec);
  if (ec) fs::remove(from, removed);
  return !ec;
}

int Extract(const Args& a) {
  if (a.output.empty()) Usage("extract needs -o DIR");
  std::error_code ec;
  fs::path output = fs::absolute(PathOf(a.output), ec);
  fs::create_directories(output, ec);
  if (!fs::is_directory(output)) throw PackError(a.output + ": cannot create the folder");
  RarReader r;
  if (!OpenForReader(a.input,
                     [&r](const std::string& name) { return r.OpenArchiveFile(name.c_str(), kOpenExtract); }))
    throw PackError(a.input + ": Cannot open archive!" + NoArchiveText(a.input));
  // The reader's file calls take names in the code page of this system,
  // which may not spell the folder: it writes below the current folder.
  fs::current_path(output, ec);
  if (ec) throw PackError(a.output + ": cannot enter the folder (" + ec.message() + ")");
  TRARHeader h;
  int ok = 0, failed = 0;
  while (r.ReadNextFileHeader(h) == 0) {
    // The reader would name the file in the Windows code page; here it gets
    // the name this system's file calls take (a name that would leave the
    // folder is left to the reader to refuse). A name this system's code
    // page cannot spell is written under a stand-in name and then renamed.
    std::string local;
    bool whole = ToLocalName(h.EntryName.c_str(), local);
    std::string target;
    fs::path renamed;
    if (StaysInside(h.EntryName)) {
      if (!whole) {
        target = kExtracting;
        renamed = ToLocalPath(h.EntryName.c_str());
      } else if (local != h.EntryName.c_str()) {
        target = local;
      }
    }
    int result = r.ProcessEntry(aoExtract, "", target.c_str(), a.password.c_str(), nullptr);
    if (result == kEntryOk && !renamed.empty() && !MoveInto(target, renamed)) result = kEntryCannotCreate;
    if (result == kEntryOk) {
      ++ok;
      continue;
    }
    Print(stdout, "FAILED %s: result %d, %s\n", Shown(h.EntryName).c_str(), result,
          FailureText(h, result, !a.password.empty()).c_str());
    ++failed;
    // Not written, yet a solid archive's next entry needs its history.
    if (result == kEntryCannotCreate) r.ProcessEntry(aoTest, "", "", a.password.c_str(), nullptr);
    if (result == kEntryNoMemory) break;
  }
  if (ReportCutShort(r)) ++failed;
  Print(stdout, "%d ok, %d failed\n", ok, failed);
  return failed ? kExitFailed : kExitOk;
}

// Packing a large project takes a while: on a terminal one line shows how
// far it is, redrawn at most ten times a second, with the share done of a
// file that takes a while on its own. Scripts and tests that read the
// output see only the results.
// Text cut or padded to Width characters (not bytes, which would split a
// letter of UTF-8).
std::string Fitted(const std::string& utf8, size_t width) {
  size_t chars = 0;
  for (size_t i = 0; i < utf8.size(); ++i) {
    if ((utf8[i] & 0xC0) != 0x80 && chars++ == width) return utf8.substr(0, i);
  }
  return utf8 + std::string(width - chars, ' ');
}

void ShowProgressOnTerminal(ArchiveOptions& options, int codePage) {
  if (!isatty(fileno(stderr))) return;
  using Clock = std::chrono::steady_clock;
  struct Line {
    Clock::time_point drawn, fileStart;
    size_t index = 0;
    bool any = false;
  };
  auto shown = std::make_shared<Line>();
  options.progress = [shown, codePage](const PackProgress& p) {
    Clock::time_point now = Clock::now();
    if (p.index != shown->index) {
      shown->index = p.index;
      shown->fileStart = now;
    }
    if (shown->any && now - shown->drawn < std::chrono::milliseconds(100)) return;
    shown->any = true;
    shown->drawn = now;
    unsigned percent = p.total ? unsigned(std::min(p.done, p.total) * 100 / p.total) : 100;
    char own[8] = "";
    if (p.fileSize && now - shown->fileStart >= std::chrono::seconds(1))
      snprintf(own, sizeof(own), "%3u%%", unsigned(std::min(p.fileDone, p.fileSize) * 100 / p.fileSize));
    Print(stderr, "\r%3u%%  %u/%u  %s %4s", percent, unsigned(p.index), unsigned(p.count),
          Fitted(OemToUtf8(p.name, codePage), 48).c_str(), own);
    fflush(stderr);
  };
}

void ClearProgress(const ArchiveOptions& options) {
  if (options.progress) Print(stderr, "\r%75s\r", "");
}

// A file that changes while it is packed gets an entry of the bytes read;
// the publisher hears of it, and under --strict nothing is written.
void WarnOfChanges(const Args& a, ArchiveOptions& options) {
  options.warn = [&a, &options](const std::string& warning) {
    ClearProgress(options);
    if (a.strict) throw PackError(warning + " (--strict: nothing was written)");
    Print(stdout, "osin-pack: warning: %s\n", warning.c_str());
    fflush(stdout);
  };
}

int Archive(const Args& a) {
  if (a.output.empty()) Usage("archive needs -o OUT.rar");
  RequireFileOutput(a.output, {PathOf(a.input)});
  if (!fs::is_directory(PathOf(a.input))) throw PackError(a.input + ": not a folder");
  std::vector<SourceFile> files = GatherFiles(PathOf(a.input), "", a.codePage);
  for (SourceFile& f : files) f.encrypt = true;
  ArchiveOptions options;
  options.solid = a.solid;
  options.password = a.password;
  ShowProgressOnTerminal(options, a.codePage);
  WarnOfChanges(a, options);
  CompressedPacking packer(a.level, a.multimedia, a.solid);
  WriteAtomically(PathOf(a.output), [&](std::ostream& out) { WriteArchive(files, options, packer, out); });
  ClearProgress(options);
  Print(stdout, "%s: %u entries\n", a.output.c_str(), unsigned(files.size()));
  return kExitOk;
}

// Whether the PE image Image carries an Authenticode signature (its
// certificate table is not empty).
bool HasSignature(const std::string& image) {
  size_t pe = PeHeaderAt(image);
  if (!pe) return false;
  size_t optional = pe + 24;
  uint32_t magic = Le(image, optional, 2);
  // The certificate table is data directory 4.
  size_t entry = optional + (magic == 0x20B ? 112 : 96) + 4 * 8;
  return (magic == 0x10B || magic == 0x20B) && entry + 8 <= image.size() && Le(image, entry + 4, 4) != 0;
}

std::string ReadStub(const std::string& path) {
  std::ifstream in(PathOf(path), std::ios::binary);
  if (!in) throw PackError(path + ": cannot open the stub");
  std::ostringstream s;
  s << in.rdbuf();
  std::string stub = s.str();
  if (stub.size() > kLastArchiveStart)
    throw PackError(path + ": the stub is " + std::to_string(stub.size()) +
                    " bytes; the setup program finds its archive only when it starts within the first " +
                    std::to_string(kLastArchiveStart) + " bytes");
  if (!stub.empty() && stub.size() < 7)
    throw PackError(path + ": a stub shorter than 7 bytes hides the archive from the search");
  for (size_t i = stub.find("Rar!\x1a\x07", 0, 7); i != std::string::npos;
       i = stub.find("Rar!\x1a\x07", i + 1, 7)) {
    if (i + 9 < stub.size() && uint8_t(stub[i + 9]) == 0x73)
      throw PackError(path + ": the stub holds a RAR archive marker at offset " + std::to_string(i) +
                      "; the setup program would find it instead of its own archive");
  }
  if (stub.compare(0, 4, "RE~^") == 0)
    throw PackError(path + ": the stub starts like an old-format RAR archive");
  if (HasSignature(stub))
    Print(stdout,
          "osin-pack: warning: %s is signed: the archive written after its signature makes the setup's "
          "signature invalid (build from the unsigned osin.exe and sign the setup with --sign)\n",
          path.c_str());
  return stub;
}

// Prints the findings of the project check; true when the work may go on.
bool CheckAndReport(const Args& a) {
  std::optional<bool> enciphered;
  if (a.verb == "build") enciphered = !a.password.empty();
  std::vector<Finding> findings = CheckProject(PathOf(a.input), a.codePage, enciphered);
  for (const Finding& f : findings) Print(stdout, "%s\n", FormatFinding(f).c_str());
  if (!findings.empty())
    Print(stdout, "%s: %u warning%s%s\n", a.input.c_str(), unsigned(findings.size()),
          findings.size() == 1 ? "" : "s", a.strict ? ", which --strict makes errors" : "");
  fflush(stdout);
  return findings.empty() || !a.strict;
}

int Check(const Args& a) {
  if (!fs::is_directory(PathOf(a.input))) throw PackError(a.input + ": not a folder");
  if (!CheckAndReport(a)) return kExitStop;
  Print(stdout, "%s: checked\n", a.input.c_str());
  return kExitOk;
}

// Signs Unsigned into Signed with osslsigncode (SHA-256 digests).
void Sign(const Args& a, const std::string& unsignedFile, const std::string& signedFile) {
  std::vector<std::string> args = {"osslsigncode", "sign", "-h", "sha256"};
  if (a.signKey.empty()) {
    args.insert(args.end(), {"-pkcs12", a.sign});
  } else {
    args.insert(args.end(), {"-certs", a.sign, "-key", a.signKey});
  }
  if (!a.signPassword.empty()) args.insert(args.end(), {"-pass", a.signPassword});
  if (!a.timestamp.empty()) args.insert(args.end(), {"-t", a.timestamp});
  args.insert(args.end(), {"-in", unsignedFile, "-out", signedFile});
  fflush(stdout);
  int status = RunProgram(args);
  if (status == -1)
    throw PackError(
        "cannot run osslsigncode to sign the setup: it is not installed or not on the PATH (on Debian and "
        "Ubuntu the package osslsigncode, on Windows osslsigncode.exe); nothing was written");
  if (status != 0)
    throw PackError("osslsigncode could not sign the setup with " + a.sign + " (exit status " +
                    std::to_string(status) + ", its message above says why)");
}

int Build(const Args& a) {
  if (a.output.empty()) Usage("build needs -o SETUP.exe");
  fs::path project = PathOf(a.input);
  RequireFileOutput(a.output, {project / "Presetup", project / "Data"});
  if (!fs::is_directory(project)) throw PackError(a.input + ": not a folder");
  if (a.sign.empty() && (!a.signKey.empty() || !a.signPassword.empty() || !a.timestamp.empty()))
    Usage("--key, --sign-password and --timestamp need --sign: without it the setup would not be signed");
  if (!CheckAndReport(a)) return kExitStop;
  if (a.password.find('"') != std::string::npos)
    Print(
        stdout,
        "osin-pack: warning: the password holds a double quote, which /PASSWORD on the setup's command line "
        "cannot pass: only the password page takes it\n");
  std::string stubPath = a.stub.empty() ? DefaultStub() : a.stub;
  if (stubPath.empty())
    Usage(
        "build needs --stub osin.exe: there is no osin.exe next to osin-pack nor in the build tree's "
        "win32 folder");
  std::string stub = ReadStub(stubPath);
  std::vector<SourceFile> files;
  if (fs::is_directory(project / "Presetup"))
    files = GatherFiles(project / "Presetup", "Presetup\\", a.codePage);
  if (files.empty()) throw PackError(a.input + ": the project has no Presetup folder with files");
  AddUninstaller(a, project, stubPath, files);
  if (!a.password.empty()) {
    SourceFile check;
    check.name = kPasswordTestName;
    check.encrypt = true;
    check.generated = true;
    check.content = kPasswordTestContent;
    files.push_back(check);
  }
  if (fs::is_directory(project / "Data")) {
    std::vector<SourceFile> data = GatherFiles(project / "Data", "Data\\", a.codePage);
    // The setup program asks for the password only after it has read its
    // control files, so those are never enciphered.
    for (SourceFile& f : data) f.encrypt = true;
    files.insert(files.end(), data.begin(), data.end());
  }
  ArchiveOptions options;
  options.solid = a.solid;
  options.password = a.password;
  ShowProgressOnTerminal(options, a.codePage);
  WarnOfChanges(a, options);
  CompressedPacking packer(a.level, a.multimedia, a.solid);
  // A signed setup is written unsigned beside the output first; the output
  // appears only once it is signed.
  std::string written = a.sign.empty() ? a.output : a.output + ".unsigned";
  WriteAtomically(PathOf(written), [&](std::ostream& out) {
    out.write(stub.data(), std::streamsize(stub.size()));
    WriteArchive(files, options, packer, out);
  });
  ClearProgress(options);
  if (!a.sign.empty()) {
    std::string signing = a.output + ".signing";
    try {
      Sign(a, written, signing);
      fs::rename(PathOf(signing), PathOf(a.output));
    } catch (...) {
      std::error_code ec;
      fs::remove(PathOf(signing), ec);
      fs::remove(PathOf(written), ec);
      throw;
    }
    fs::remove(PathOf(written));
  }
  // The setup program must find exactly this archive, also behind a
  // signature.
  RarReader check;
  bool found = false;
  try {
    found = OpenForReader(a.output, [&check](const std::string& name) {
      return check.OpenArchiveFile(name.c_str(), kOpenList);
    });
  } catch (const PackError&) {
    fs::remove(PathOf(a.output));
    throw;
  }
  if (!found || check.ArchiveOffset() != int64_t(stub.size())) {
    fs::remove(PathOf(a.output));
    throw PackError(a.output + ": the archive written is not found where the setup program looks for it");
  }
  Print(stdout, "%s: %u entries after a %u-byte stub (%s)%s\n", a.output.c_str(), unsigned(files.size()),
        unsigned(stub.size()), stubPath.c_str(), a.sign.empty() ? "" : ", signed");
  return kExitOk;
}

int Run(int argc, char** argv) {
  std::vector<std::string> args = ProgramArguments(argc, argv);
  args.insert(args.begin(), "osin-pack");
  Args a = Parse(int(args.size()), args);
  if (a.codePageGiven) ReadNamesIn(a.codePage);
  if (a.verb == "help") {
    Print(stdout, "%s\n", kUsage);
    return kExitOk;
  }
  if (a.verb == "list") return List(a);
  if (a.verb == "test") return Test(a);
  if (a.verb == "extract") return Extract(a);
  if (a.verb == "archive") return Archive(a);
  if (a.verb == "build") return Build(a);
  if (a.verb == "check") return Check(a);
  Usage("unknown verb " + a.verb);
}

}  // namespace
}  // namespace osin

int main(int argc, char** argv) {
  try {
    return osin::Run(argc, argv);
  } catch (const std::exception& e) {
    fflush(stdout);
    osin::Print(stderr, "osin-pack: %s\n", e.what());
    return osin::kExitStop;
  }
}
