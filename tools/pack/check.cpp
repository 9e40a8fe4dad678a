#include "pack/check.h"

#include <ctype.h>
#include <limits.h>
#include <string.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <unordered_map>

#include "config/inifile.h"
#include "config/variables.h"
#include "install/copyentry.h"
#include "install/log.h"
#include "install/pending.h"
#include "install/script.h"
#include "pack/oem.h"
#include "pack/packer.h"
#include "pack/pe.h"
#include "platform/fault.h"
#include "platform/strutils.h"
#include "platform/text.h"
#include "resources/ids.h"
#include "ui/bitmap.h"
#include "ui/runprogram.h"
#include "uninstall/guard.h"

namespace fs = std::filesystem;

namespace osin {
namespace {

const CharSet kComma(",");

std::string Lower(std::string s) {
  for (char& c : s) c = char(tolower(static_cast<unsigned char>(c)));
  return s;
}

std::string Upper(std::string s) {
  for (char& c : s) c = char(toupper(static_cast<unsigned char>(c)));
  return s;
}

bool Same(const std::string& a, const std::string& b) {
  return Lower(a) == Lower(b);
}

std::string Str(const String& s) {
  return std::string(s.Data(), size_t(s.Length()));
}
String Ansi(const std::string& s) {
  return String(s.c_str(), int(s.size()));
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
  return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// S without the characters up to the blank (codes 0 to 32) at its end, as
// the setup trims a line.
std::string TrimControls(std::string s) {
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ') s.pop_back();
  return s;
}

// Items of a list value split at "," only, as the setup splits them.
std::vector<std::string> Items(const std::string& value) {
  std::vector<std::string> items;
  if (value.empty()) return items;
  std::stringstream in(value);
  std::string item;
  while (std::getline(in, item, ',')) items.push_back(item);
  if (value.back() == ',') items.push_back("");
  return items;
}

bool IsNumber(const std::string& text) {
  String t = Ansi(text);
  return IniStrToInt(t, INT_MIN) != INT_MIN || IniStrToInt(t, INT_MAX) != INT_MAX;
}

// A file's first bytes, enough for the headers of a Windows program.
std::string HeadOf(std::ifstream& in) {
  std::string head(4096, '\0');
  in.read(head.data(), std::streamsize(head.size()));
  head.resize(size_t(in.gcount()));
  return head;
}

// The file version of a Windows program or library, as Windows shows it
// ("1.2.0.15"): the fixed part of its version resource, found through the
// resource tree of the section that holds it (type 16, its first name and
// language). Empty when the file is none or has no such resource.
std::string FileVersionOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::string head = HeadOf(in);
  size_t pe = PeHeaderAt(head), optional = pe + 24;
  if (!pe) return "";
  bool wide = Le(head, optional, 2) == 0x20B;  // PE32+ has 16 more bytes before its directories
  size_t directories = optional + (wide ? 108 : 92);
  if (Le(head, directories, 4) < 3) return "";
  uint32_t root = Le(head, directories + 4 + 2 * 8, 4);
  size_t sections = optional + Le(head, pe + 20, 2);
  for (uint32_t n = Le(head, pe + 6, 2), i = 0; i < n && root != 0; ++i) {
    size_t at = sections + 40 * i;
    uint32_t address = Le(head, at + 12, 4), rawSize = Le(head, at + 16, 4), raw = Le(head, at + 20, 4);
    if (root < address || root - address >= rawSize || rawSize > (64u << 20)) continue;
    std::string section(rawSize, '\0');
    in.clear();
    in.seekg(raw);
    in.read(section.data(), std::streamsize(rawSize));
    section.resize(size_t(in.gcount()));
    size_t base = root - address, entry = 0;
    // Down the tree: the entry of type 16 among the id entries, then the
    // first entry twice; each step must lead to a directory.
    size_t dir = base;
    for (int level = 0; level < 3; ++level) {
      size_t named = Le(section, dir + 12, 2), ids = Le(section, dir + 14, 2), pick = std::string::npos;
      for (size_t e = 0; e < named + ids && pick == std::string::npos; ++e)
        if (level > 0 || (e >= named && Le(section, dir + 16 + 8 * e, 4) == 16)) pick = e;
      if (pick == std::string::npos) return "";
      uint32_t offset = Le(section, dir + 16 + 8 * pick + 4, 4);
      if ((offset >> 31) != (level < 2 ? 1u : 0u)) return "";
      dir = base + (offset & 0x7FFFFFFF);
      entry = dir;
    }
    uint32_t dataAddress = Le(section, entry, 4);
    if (dataAddress < address) return "";
    size_t data = dataAddress - address;
    // VS_VERSIONINFO: length, value length, type, the key "VS_VERSION_INFO"
    // in UTF-16 and its terminator, padded to 4 bytes; then the fixed part.
    const char key[] = "VS_VERSION_INFO";
    for (size_t c = 0; c < sizeof key; ++c)
      if (Le(section, data + 6 + 2 * c, 2) != uint8_t(key[c])) return "";
    if (Le(section, data + 40, 4) != 0xFEEF04BD) return "";
    uint32_t high = Le(section, data + 48, 4), low = Le(section, data + 52, 4);
    return std::to_string(high >> 16) + "." + std::to_string(high & 0xFFFF) + "." +
           std::to_string(low >> 16) + "." + std::to_string(low & 0xFFFF);
  }
  return "";
}

// The pages a sequence may name, and the texts each shows: control ids of
// its own section (or of [Dialogs]); DLG_DIR's browser and the progress
// page's action line read numbered strings as well.
struct PageTexts {
  const char* name;
  std::vector<int> ids;
};
const std::vector<PageTexts>& Pages() {
  // The folder browser's texts on DLG_DIR and the action line's formats on
  // DLG_PROGRESS.
  static const int kBrowser[] = {200, 201, 202, 203, 204, 205, 206};
  static const int kActionFormats[] = {200, 201, 202};
  static const std::vector<PageTexts> pages = {
      {DLG_WELCOME, {IDC_PAGE_TEXT}},
      {DLG_LANGUAGE, {IDC_PAGE_TEXT}},
      {DLG_LICENSE, {IDC_LICENSE_ACCEPT, IDC_LICENSE_DECLINE, IDC_LICENSE_PROMPT}},
      {DLG_README, {IDC_PAGE_TEXT}},
      {DLG_PASSWORD, {IDC_PAGE_TEXT}},
      {DLG_DIR,
       {IDC_DIR_GROUP, IDC_DIR_BROWSE, IDC_DIR_TEXT, kBrowser[0], kBrowser[1], kBrowser[2], kBrowser[3],
        kBrowser[4], kBrowser[5], kBrowser[6]}},
      {DLG_GROUP, {IDC_PAGE_TEXT}},
      {DLG_START, {IDC_PAGE_TEXT}},
      {DLG_PROGRESS,
       {IDC_PAGE_TEXT, IDC_PROGRESS_ALL_LABEL, kActionFormats[0], kActionFormats[1], kActionFormats[2]}},
      {DLG_REBOOT, {IDC_PAGE_TEXT, IDC_REBOOT_YES, IDC_REBOOT_NO}},
      {DLG_FINISH, {IDC_FINAL_TEXT}},
      {DLG_NOTFINISH, {IDC_FINAL_TEXT}},
  };
  return pages;
}

const PageTexts* FindPage(const std::string& name) {
  for (const PageTexts& p : Pages())
    if (name == p.name) return &p;
  return nullptr;
}

// Whether the setup reads the section Name of a language file: the
// messages, the texts of every page and of each page (the version conflict
// question too), a section with a language code after a dot, and
// Uninstall.<section of the install log> (the uninstaller's texts, or
// records it takes back), which goes into the log without a code only.
bool IsLanguageSection(const std::string& name) {
  std::string upper = Upper(name);
  size_t dot = upper.find('.');
  std::string base = upper.substr(0, dot), rest = dot == std::string::npos ? "" : upper.substr(dot + 1);
  if (base == "UNINSTALL") {
    bool known = rest == "STRINGS";
    for (int kind = 0; kind < osin::kLogKindCount; ++kind)
      known = known || rest == Upper(osin::LogSectionName(kind));
    return known;
  }
  return (base == "STRINGS" || base == "DIALOGS" || base == DLG_VERSIONCONFLICT || FindPage(base)) &&
         rest.find('.') == std::string::npos;
}

// The raw lines of an INI file, for the line numbers the store does not
// keep: sections and keys found by the store's own rules (a header is "["
// to "]" with nothing around it; a key is the text before "=" without the
// blanks before it; ";" in the first column is a remark).
class RawIni {
 public:
  struct Line {
    int number;
    std::string section, key;
  };
  explicit RawIni(const std::string& bytes) {
    std::string line, section;
    int number = 1;
    bool inSection = false;
    auto take = [&]() {
      if (!line.empty() && line.front() == '[' && line.back() == ']' && line.size() >= 2) {
        section = line.substr(1, line.size() - 2);
        inSection = true;
        headers_.push_back({number, section, ""});
      } else if (inSection && !line.empty() && line[0] != ';' && line.find('=') != std::string::npos &&
                 line[0] != '=') {
        std::string key = line.substr(0, line.find('='));
        key.erase(key.find_last_not_of(" \t") + 1);
        lines_.push_back({number, section, key});
      }
      NoteLost(line, number, inSection ? &section : nullptr);
      line.clear();
    };
    for (size_t i = 0; i < bytes.size(); ++i) {
      char c = bytes[i];
      if (c == '\r' || c == '\n') {
        take();
        if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ++i;
        ++number;
      } else {
        line += c;
      }
    }
    take();
    // Every finding asks for its line: looked up, not searched, so that a
    // script of many thousand lines with as many findings checks at once.
    for (const Line& h : headers_) firstHeader_.emplace(Lower(h.section), h.number);
    for (const Line& l : lines_) firstKey_.emplace(Lower(l.section) + '\n' + Lower(l.key), l.number);
  }
  // The headers of sections whose name stood before, with that first line.
  std::vector<std::pair<Line, int>> Repeated() const {
    std::vector<std::pair<Line, int>> out;
    for (const Line& h : headers_) {
      int first = SectionLine(h.section);
      if (first != h.number) out.push_back({h, first});
    }
    return out;
  }
  int SectionLine(const std::string& section) const {
    auto it = firstHeader_.find(Lower(section));
    return it == firstHeader_.end() ? 0 : it->second;
  }
  int KeyLine(const std::string& section, const std::string& key) const {
    auto it = firstKey_.find(Lower(section) + '\n' + Lower(key));
    return it == firstKey_.end() ? SectionLine(section) : it->second;
  }
  const std::vector<Line>& Headers() const { return headers_; }
  const std::vector<Line>& Lines() const { return lines_; }
  // Lines that look meant for the setup but that its rules pass over, each
  // with its number and why.
  const std::vector<std::pair<int, std::string>>& Lost() const { return lost_; }

 private:
  // A header with anything around its brackets (" [Config]", "[Config] ;
  // main") is no header: what follows it counts to the section above. A key
  // before the first header is dropped; only the first such line is told.
  // In a section, a line without "=" is dropped: most often the rest of a
  // text that went on past a line end. Remarks in the forms "//" and "#"
  // that publishers write are dropped as well, and told nothing.
  void NoteLost(const std::string& line, int number, const std::string* section) {
    if (line.empty() || line[0] == ';' || (line.front() == '[' && line.back() == ']')) return;
    std::string text = Trim(line);
    size_t close = text.find(']');
    std::string after = close == std::string::npos ? "" : Trim(text.substr(close + 1));
    if (text[0] == '[' && close != std::string::npos && (after.empty() || after[0] == ';')) {
      keyBeforeHeader_ = keyBeforeHeader_ || !section;
      lost_.push_back(
          {number, text.substr(0, close + 1) +
                       " is no section header (a header has \"[\" first and \"]\" last on its line): " +
                       (section ? "the setup reads the lines below it as part of [" + *section + "]"
                                : std::string("the setup does not read the lines below it"))});
    } else if (!section && !keyBeforeHeader_ && line.find('=') != std::string::npos &&
               line.rfind("//", 0) != 0) {
      keyBeforeHeader_ = true;
      lost_.push_back({number, "stands before the first section header: the setup does not read it"});
    } else if (section && line.find('=') == std::string::npos && !TrimControls(text).empty() &&
               text.rfind("//", 0) != 0 && text[0] != '#') {
      lost_.push_back({number,
                       "has no \"=\": the setup drops the line (a text stays on the line of its key; "
                       "\"||\" breaks it)"});
    }
  }

  std::vector<Line> headers_, lines_;
  std::vector<std::pair<int, std::string>> lost_;
  bool keyBeforeHeader_ = false;
  // The first line of each section and of each key, by their lower-case
  // names (a key's: section, line feed, key).
  std::unordered_map<std::string, int> firstHeader_, firstKey_;
};

// One INI file of the project, read by the setup's own store.
struct IniFile {
  std::string rel;
  std::unique_ptr<TztIniFile> store;
  std::unique_ptr<RawIni> raw;

  std::vector<std::string> Sections() const {
    StringList list;
    store->ReadSections(list);
    std::vector<std::string> out;
    for (int i = 0; i < list.Count(); ++i) out.push_back(Str(list[i]));
    return out;
  }
  // The section's lines as (name, value), in file order.
  std::vector<std::pair<std::string, std::string>> Values(const std::string& section) const {
    StringList list;
    store->ReadSectionValues(Ansi(section), list);
    std::vector<std::pair<std::string, std::string>> out;
    for (int i = 0; i < list.Count(); ++i) out.push_back({Str(NamePart(list[i])), Str(ValuePart(list[i]))});
    return out;
  }
  bool Has(const std::string& section, const std::string& key) const {
    const String missing("\x01");
    return store->ReadString(Ansi(section), Ansi(key), missing) != missing;
  }
  std::string Read(const std::string& section, const std::string& key,
                   const std::string& fallback = "") const {
    return Str(store->ReadString(Ansi(section), Ansi(key), Ansi(fallback)));
  }
  bool HasSection(const std::string& section) const {
    for (const std::string& s : Sections())
      if (Same(s, section)) return true;
    return false;
  }
};

enum class KeyType {
  kText,
  kBool,
  kColour,
  kFont,
  kPosition,
  kLanguages,
  kSystems,
  kPages,
  kScripts,
  kBitmap
};

// The abbreviated language names of the Windows locales (LOCALE_SABBREVLANGNAME),
// sorted: the setup offers a language of Languages only where a locale of
// the system has its code, so a code made up the way ISO codes are (GER,
// POL) is silently left out.
const char* const kWindowsLanguageCodes[] = {
    "AFK", "AMH", "ARA", "ARB", "ARE", "ARG", "ARH", "ARI", "ARJ", "ARK", "ARL", "ARM", "ARO", "ARQ", "ARS",
    "ART", "ARU", "ARY", "ASM", "AZC", "AZE", "BAS", "BEL", "BGR", "BNB", "BNG", "BOB", "BRE", "BSB", "BSC",
    "CAT", "CHS", "CHT", "COS", "CRE", "CSY", "CYM", "DAN", "DEA", "DEC", "DEL", "DES", "DEU", "DIV", "DSB",
    "ELL", "ENA", "ENB", "ENC", "ENE", "ENG", "ENH", "ENI", "ENJ", "ENL", "ENM", "ENN", "ENP", "ENS", "ENT",
    "ENU", "ENW", "ENZ", "ESA", "ESB", "ESC", "ESD", "ESE", "ESF", "ESG", "ESH", "ESI", "ESJ", "ESK", "ESL",
    "ESM", "ESN", "ESO", "ESP", "ESR", "ESS", "EST", "ESU", "ESV", "ESY", "ESZ", "ETI", "EUQ", "FAR", "FIN",
    "FOS", "FPO", "FRA", "FRB", "FRC", "FRD", "FRE", "FRF", "FRH", "FRI", "FRL", "FRM", "FRN", "FRO", "FRR",
    "FRS", "FUL", "FYN", "GLA", "GLC", "GRN", "GSW", "GUJ", "HAU", "HAW", "HEB", "HIN", "HRB", "HRV", "HSB",
    "HUN", "HYE", "IBO", "III", "IND", "IRE", "ISL", "ITA", "ITS", "IUK", "IUS", "JPN", "KAL", "KAT", "KDI",
    "KHM", "KIN", "KKZ", "KNK", "KOR", "KUR", "KYR", "LAO", "LBX", "LTH", "LVI", "MAR", "MKI", "MLT", "MNG",
    "MNM", "MNN", "MPD", "MRI", "MSB", "MSL", "MWK", "MYA", "MYM", "NEI", "NEP", "NLB", "NLD", "NON", "NOR",
    "NSO", "OCI", "ORI", "ORM", "PAN", "PAP", "PAS", "PLK", "PRS", "PTB", "PTG", "QUC", "QUZ", "RMC", "ROD",
    "ROM", "RUM", "RUS", "SAH", "SAN", "SIN", "SIP", "SKY", "SLV", "SMA", "SMB", "SME", "SMF", "SMG", "SMJ",
    "SMK", "SMN", "SMS", "SOM", "SOT", "SQI", "SRB", "SRL", "SRM", "SRN", "SRO", "SRP", "SRQ", "SRS", "SVE",
    "SVF", "SWK", "SYR", "TAI", "TAJ", "TAM", "TEL", "THA", "TIE", "TIR", "TRK", "TSB", "TSN", "TSO", "TTT",
    "TUK", "TZA", "UIG", "UKR", "URD", "URI", "UZB", "UZC", "VAL", "VIT", "WOL", "XHO", "YOR", "ZHH", "ZHI",
    "ZHM", "ZUL"};

bool IsWindowsLanguageCode(const std::string& code) {
  return std::binary_search(std::begin(kWindowsLanguageCodes), std::end(kWindowsLanguageCodes), code,
                            [](const std::string& a, const std::string& b) { return a < b; });
}

struct KeyRule {
  const char* section;
  const char* key;
  KeyType type;
};

const KeyRule kKeys[] = {
    {"Config", "DefaultInstallPath", KeyType::kText},
    {"Config", "Uninstall", KeyType::kBool},
    {"Config", "CheckAdminRights", KeyType::kBool},
    {"Config", "NeedReboot", KeyType::kBool},
    {"Config", "Languages", KeyType::kLanguages},
    {"Config", "SupportedOS", KeyType::kSystems},
    {"Config", "PreInstallDialogSequence", KeyType::kPages},
    {"Config", "PostInstallDialogSequence", KeyType::kPages},
    {"Config", "InsFiles", KeyType::kScripts},
    {"Config", "LogFile", KeyType::kText},
    {"Display", "ShowMainWindow", KeyType::kBool},
    {"Display", "ShowMainTitle", KeyType::kBool},
    {"Display", "MainTitleFont", KeyType::kFont},
    {"Display", "MainTitleShadow", KeyType::kBool},
    {"Display", "MainTitleShadowColor", KeyType::kColour},
    {"Display", "DialogFont", KeyType::kFont},
    {"Display", "DialogTitleFont", KeyType::kFont},
    {"Display", "DialogTitleShadow", KeyType::kBool},
    {"Display", "DialogTitleShadowColor", KeyType::kColour},
    {"Display", "DialogPosition", KeyType::kPosition},
    {"Display", "BackgroundBitmap", KeyType::kBitmap},
    {"Display", "GradientTopColor", KeyType::kColour},
    {"Display", "GradientBottomColor", KeyType::kColour},
    {"Display", "ShowFinalDialog", KeyType::kBool},
};

// Sections whose keys are the publisher's own names.
const char* const kFreeSections[] = {"StaticBitmap", "DialogBitmap", "PreRunApp", "Variables", "VersionInfo"};

const char* const kScriptSuffixes[] = {".ins", ".nt", ".nt4", ".2k", ".9x", ".95", ".98"};

// What a Strings message is for, when a project needs it.
struct MessageUse {
  int id;
  const char* use;
};

// A name with its letters in one case and every byte above ASCII alike:
// names the setup takes for the same (without regard to case) fold alike.
std::string Fold(const std::string& name) {
  std::string folded = Lower(name);
  for (char& c : folded)
    if (static_cast<unsigned char>(c) >= 0x80) c = '\x80';
  return folded;
}

// Where the check's variables put the setup's temporary folder and the
// installation folder (each folder variable stands for itself), in lower
// case; and the part of Path below such a Folder, or empty.
const char kPresetupFolder[] = "c:\\presetup\\";
const char kInstallFolder[] = "c:\\installpath\\";
std::string Below(const std::string& path, const std::string& folder) {
  return Lower(path).rfind(folder, 0) == 0 ? path.substr(folder.size()) : std::string();
}

// FindCopyEntry of many names over many copy lines: lines without
// wildcards are found through a table of their names, and only the
// wildcard lines are tried one by one (a project that lists each of its
// 50,000 files would otherwise take hours to check).
class CopyLookup {
 public:
  explicit CopyLookup(const std::vector<std::string>& keys) {
    for (size_t i = 0; i < keys.size(); ++i) {
      lines_.push_back(std::make_unique<TPendingList>());
      lines_.back()->Set(Ansi(keys[i]), Array<String>());
      if (NameHasWildcards(Ansi(keys[i])))
        wild_.push_back(int(i));
      else
        exact_[Fold(keys[i])].push_back(int(i));
    }
  }
  bool Takes(int line, const std::string& name) const {
    return FindCopyEntry(*lines_[line], Ansi(name)) == 0;
  }
  bool IsWildcard(int line) const { return std::find(wild_.begin(), wild_.end(), line) != wild_.end(); }
  // The first line that takes Name, as FindCopyEntry over all of them; -1: none.
  int Find(const std::string& name) const {
    int first = -1;
    auto it = exact_.find(Fold(name));
    if (it != exact_.end())
      for (int line : it->second)
        if (Takes(line, name)) {
          first = line;
          break;
        }
    for (int line : wild_) {
      if (first >= 0 && line > first) break;
      if (Takes(line, name)) return line;
    }
    return first;
  }

 private:
  std::vector<std::unique_ptr<TPendingList>> lines_;
  std::vector<int> wild_;
  std::unordered_map<std::string, std::vector<int>> exact_;
};

// A CopyFiles line that installs from the archive: its key "Data\...",
// where it stands, and the language of its section (empty: every one).
struct CopyKey {
  std::string key;
  const IniFile* script;
  std::string list, line, code;
  int flags;
};

class Checker {
 public:
  Checker(const fs::path& project, int codePage, std::optional<bool> enciphered)
      : project_(project), codePage_(codePage), enciphered_(enciphered) {}

  std::vector<Finding> Run() {
    GatherFiles();
    const IniFile* config = Open("Osin.ini", true);
    if (!config) {
      Warn("Presetup", 0, "missing-file", "there is no Osin.ini: the setup has no configuration to read");
      return findings_;
    }
    config_ = config;
    CheckConfigKeys();
    CheckFreeSections();
    CheckPreRunApps();
    CheckVariables();
    CheckUninstallName();
    CheckScripts();
    CheckLanguageFiles();
    CheckDocuments();
    std::stable_sort(findings_.begin(), findings_.end(), [](const Finding& a, const Finding& b) {
      return a.file != b.file ? a.file < b.file : a.line < b.line;
    });
    return findings_;
  }

 private:
  void Warn(const std::string& file, int line, const std::string& kind, const std::string& text) {
    // A fault that shows in several languages is one finding.
    for (const Finding& f : findings_)
      if (f.line == line && f.file == file && f.text == text) return;
    findings_.push_back({file, line, kind, text});
  }
  void WarnAt(const IniFile& ini, const std::string& section, const std::string& key, const std::string& kind,
              const std::string& text) {
    Warn(ini.rel, key.empty() ? ini.raw->SectionLine(section) : ini.raw->KeyLine(section, key), kind, text);
  }

  // The files of Presetup and Data; names that the archive cannot hold.
  void GatherFiles() {
    for (const char* top : {"Presetup", "Data"}) {
      fs::path folder = project_ / top;
      std::error_code error;
      if (!fs::is_directory(folder, error)) continue;
      std::map<std::string, std::string> seen;
      std::string last = top;  // the folder the walk enters next
      for (auto it = fs::recursive_directory_iterator(folder, error);
           it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (error) break;
        fs::path relative = it->path().lexically_relative(folder);
        std::string shown = std::string(top) + "/" + relative.generic_string();
        std::string why = NotPackable(*it);
        if (!why.empty()) Warn(shown, 0, "missing-file", why + ": build stops at it");
        if (it->is_directory(error)) {
          last = shown;
          // A RAR archive keeps folders only as the paths of its files.
          if (std::string(top) == "Data" && why.empty() && fs::is_empty(it->path(), error))
            Warn(shown, 0, "unused-file",
                 "an empty folder: the setup makes folders only for the files it installs, so this one is "
                 "not made (put a file in it)");
        }
        if (!it->is_regular_file(error)) continue;
        std::string name;
        if (!ToOemName(relative, codePage_, name)) {
          Warn(shown, 0, "code-page",
               "the name cannot be written in code page " + std::to_string(codePage_) +
                   " (choose another with --codepage, or rename the file)");
          continue;
        }
        std::error_code sizeError;
        if (it->file_size(sizeError) > kMaxEntrySize && !sizeError)
          Warn(shown, 0, "too-large", "4 GB or more, past what a RAR 2 archive holds: build stops at it");
        if (strlen(top) + 1 + name.size() > kMaxEntryName)
          Warn(shown, 0, "long-name",
               "the archive name is " + std::to_string(strlen(top) + 1 + name.size()) +
                   " bytes long, more than the 259 the setup reads: build stops at it");
        // The setup meets the name in the ANSI form, as its scripts write it.
        std::string ansi;
        if (ToAnsiName(relative, codePage_, ansi)) name = ansi;
        for (const auto& part : relative) CheckWindowsName(shown, part.string());
        auto [other, added] = seen.insert({Lower(name), shown});
        if (!added)
          Warn(shown, 0, "name-clash",
               "differs from " + other->second +
                   " only in letter case: on Windows one would replace the other");
        if (std::string(top) == "Presetup")
          presetup_[Lower(name)] = relative.generic_string();  // UTF-8 on Windows too: fs::u8path reads it
        else {
          data_.push_back("Data\\" + name);
          dataPaths_.push_back(it->path());
          dataFolded_[Fold(data_.back())].push_back(data_.size() - 1);
        }
      }
      if (error) Warn(last, 0, "missing-file", "cannot be read (" + error.message() + "): build stops at it");
    }
  }

  // Names Windows keeps for devices (with any extension) cannot be files,
  // and it drops a trailing dot or blank.
  void CheckWindowsName(const std::string& shown, const std::string& part) {
    std::string stem = Lower(part.substr(0, part.find('.')));
    stem.erase(stem.find_last_not_of(' ') + 1);
    bool numbered = stem.size() == 4 && (stem.rfind("com", 0) == 0 || stem.rfind("lpt", 0) == 0) &&
                    stem[3] >= '1' && stem[3] <= '9';
    if (numbered || stem == "con" || stem == "prn" || stem == "aux" || stem == "nul")
      Warn(shown, 0, "name-clash", part + " is a device name on Windows: no file can have it (rename it)");
    else if (part.back() == '.' || part.back() == ' ')
      Warn(shown, 0, "name-clash", "Windows drops the dot or blank at the end of \"" + part + "\"");
  }

  // The Presetup file named Name (without regard to case), or null.
  const std::string* PresetupFile(const std::string& name) const {
    auto it = presetup_.find(Lower(name));
    return it == presetup_.end() ? nullptr : &it->second;
  }

  const IniFile* Open(const std::string& name, bool stripQuotes) {
    const std::string* found = PresetupFile(name);
    if (!found) return nullptr;
    std::string key = Lower(name) + (stripQuotes ? "" : "|quotes");
    auto it = inis_.find(key);
    if (it != inis_.end()) return it->second.get();
    fs::path path = project_ / "Presetup" / fs::u8path(*found);
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    TIniParseOptions options;
    options.StripQuotes = stripQuotes;
    auto ini = std::make_unique<IniFile>();
    ini->rel = "Presetup/" + *found;
    ini->store = std::make_unique<TztIniFile>(String(), true, options);
    ini->raw = std::make_unique<RawIni>(bytes.str());
    if (!in || !LoadIniText(*ini->store, bytes.str())) {
      Warn(ini->rel, 0, "missing-file", "cannot be read");
      return nullptr;
    }
    for (const auto& [number, why] : ini->raw->Lost()) Warn(ini->rel, number, "lost-line", why);
    for (const auto& [header, first] : ini->raw->Repeated())
      Warn(ini->rel, header.number, "unused-section",
           "[" + header.section + "] stands a second time: the setup reads only the one of line " +
               std::to_string(first));
    // The setup reads ANSI text: a byte-order mark hides the first
    // section's header, and UTF-16 hides everything.
    const std::string head = bytes.str().substr(0, 3);
    if (head == "\xEF\xBB\xBF" || head.rfind("\xFF\xFE", 0) == 0 || head.rfind("\xFE\xFF", 0) == 0)
      Warn(ini->rel, 1, "code-page",
           "saved as Unicode text: the setup reads ANSI text and does not see its first section (nothing at "
           "all in UTF-16); save it as ANSI in the code page of its language");
    return (inis_[key] = std::move(ini)).get();
  }

  void CheckBitmap(const IniFile& ini, const std::string& section, const std::string& key,
                   const std::string& file) {
    const std::string* found = PresetupFile(file);
    if (!found) {
      WarnAt(ini, section, key, "missing-file", "names " + file + ", which is not in Presetup");
      return;
    }
    std::ifstream in(project_ / "Presetup" / fs::u8path(*found), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    TBitmapLayout layout;
    BitmapCheck result =
        CheckBitmapFile(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), layout);
    static const char* const why[] = {"", "is not a BMP file", "is cut short",
                                      "uses a depth or compression the setup does not draw"};
    std::string problem = why[int(result)];
    const uint32_t kOs2Header = 64, kRle8 = 1, kRle4 = 2;
    if (result == BitmapCheck::kNotBitmap && bytes.size() >= 18 && uint8_t(bytes[14]) == kOs2Header &&
        !bytes[15] && !bytes[16] && !bytes[17])
      problem = "is in the OS/2 2.x form, which the setup does not draw (save it in the Windows form)";
    // The system refuses runs stored top-down; the check accepts them, as
    // the setup leaves that refusal to the system.
    if (result == BitmapCheck::kOk && (layout.Compression == kRle8 || layout.Compression == kRle4) &&
        layout.Height < 0)
      problem = "stores its run-length rows top-down, which Windows does not draw";
    if (!problem.empty())
      WarnAt(ini, section, key, "bad-bitmap", file + " " + problem + ": the setup shows nothing there");
  }

  void CheckFont(const std::string& section, const std::string& key, const std::string& value) {
    if (value.empty()) return;
    String v = Ansi(value);
    if (GetField(1, v, kComma).Length() > 31)
      WarnAt(*config_, section, key, "bad-value", "the face name is longer than 31 characters and is cut");
    std::string size = Str(GetField(2, v, kComma)), colour = Str(GetField(3, v, kComma));
    if (!size.empty() && !IsNumber(size))
      WarnAt(*config_, section, key, "bad-value",
             "font size " + size + " is not a number: 8 points are used");
    if (!colour.empty() && !IsNumber(colour))
      WarnAt(*config_, section, key, "bad-value",
             "font colour " + colour + " is not a number: black is used");
    for (char c : Str(GetField(4, v, kComma)))
      if (!strchr("BIUS", c))
        WarnAt(*config_, section, key, "bad-value",
               std::string("style letter ") + c + " is ignored: the styles are B, I, U and S, in capitals");
  }

  void CheckListItems(const std::string& key, KeyType type, const std::string& value) {
    for (const std::string& item : Items(value)) {
      if (type == KeyType::kLanguages) {
        std::string code = Upper(Trim(item));
        if (code.size() != 3 || !std::all_of(code.begin(), code.end(), [](char c) { return isalpha(c); })) {
          WarnAt(*config_, "Config", key, "bad-value",
                 "\"" + item + "\" is not a three-letter language code such as Enu or Rus");
        } else {
          if (!IsWindowsLanguageCode(code))
            WarnAt(*config_, "Config", key, "bad-value",
                   code + " is no language code of Windows (such as DEU for German, PLK for Polish): " +
                       "no system has it, so the setup leaves it out of the language list");
          if (std::find(languages_.begin(), languages_.end(), code) == languages_.end())
            languages_.push_back(code);
        }
        continue;
      }
      bool known = false;
      if (type == KeyType::kSystems) {
        for (const char* word : {"nt", "nt4", "2k", "9x", "95", "98"}) known = known || Same(item, word);
      } else if (type == KeyType::kPages) {
        if (Upper(item) == DLG_PROGRESS) {
          WarnAt(*config_, "Config", key, "unknown-page",
                 "DLG_PROGRESS is shown by the installation itself; in a sequence it has no Next button");
          continue;
        }
        known = FindPage(Upper(item)) != nullptr;
        if (known) shown_.insert(Upper(item));
      } else {
        known = !Trim(item).empty();
      }
      if (known) continue;
      std::string hint =
          Trim(item) != item ? " (the setup keeps the blanks around an item: remove them)" : "";
      const char* what = type == KeyType::kSystems ? "a system (nt, nt4, 2k, 9x, 95, 98)"
                         : type == KeyType::kPages ? "a page"
                                                   : "a script";
      WarnAt(*config_, "Config", key, type == KeyType::kPages ? "unknown-page" : "bad-value",
             "\"" + item + "\" is not " + what + hint);
    }
  }

  void CheckConfigKeys() {
    for (const std::string& section : config_->Sections()) {
      bool known =
          Same(section, "Config") || Same(section, "Display") || Lower(section).rfind("variables.", 0) == 0;
      for (const char* free : kFreeSections) known = known || Same(section, free);
      if (!known)
        WarnAt(*config_, section, "", "unknown-section",
               "the setup does not read a section [" + section + "]");
    }
    for (const char* section : {"Config", "Display"}) {
      for (const auto& [key, value] : config_->Values(section)) {
        const KeyRule* rule = nullptr;
        for (const KeyRule& r : kKeys)
          if (Same(r.section, section) && Same(r.key, key)) rule = &r;
        if (!rule) {
          WarnAt(*config_, section, key, "unknown-key",
                 "the setup does not read " + key + " in [" + section + "]");
          continue;
        }
        CheckKey(*rule, value);
      }
    }
    if (languages_.empty()) languages_.push_back("ENU");
    if (Bool("Config", "Uninstall", false)) {
      // A project without its own UnOsin.exe is given one by build, which
      // stops with an error when it has none to give.
      if (config_->Read("Config", "LogFile").empty())
        WarnAt(*config_, "Config", "Uninstall", "bad-value",
               "Uninstall=1 needs a LogFile: the uninstaller undoes what the install log records");
    }
    std::string log = config_->Read("Config", "LogFile");
    if (!log.empty() && !IsFullPathFor(languages_.front(), log))
      WarnAt(*config_, "Config", "LogFile", "bad-value",
             "LogFile=" + log + " is no full path: the log lands in the folder the setup is started from, " +
                 "where the uninstaller does not find it (write %InstallPath%\\" + log + ")");
    StringList variables;
    VariablesOf(languages_.front(), variables);
    if (!Below(Str(ExpandString(Ansi(log), variables).Text), kPresetupFolder).empty())
      WarnAt(*config_, "Config", "LogFile", "bad-value",
             "LogFile=" + log + " lies in the setup's temporary folder (%Presetup%), which the setup " +
                 "deletes when it ends: the uninstaller finds no log (write %InstallPath%\\Install.log)");
    // Without a full path the program lands below wherever the setup was
    // started from (a download folder, a CD), and the user may not notice.
    std::string folder = config_->Read("Config", "DefaultInstallPath");
    bool named = config_->Has("Config", "DefaultInstallPath");
    if (!config_->Read("Config", "InsFiles").empty() &&
        !IsFullPathFor(languages_.front(), named ? folder : "Test"))
      WarnAt(*config_, "Config", named ? "DefaultInstallPath" : "", "bad-value",
             named
                 ? "DefaultInstallPath=" + folder +
                       " is no full path: the setup installs into the folder it is started from "
                       "(write %ProgramFiles%\\" +
                       folder + ")"
                 : "no DefaultInstallPath: the setup installs into a folder Test in the folder it is started "
                   "from (write DefaultInstallPath=%ProgramFiles%\\ and the program's folder)");
    if (!config_->Read("Config", "InsFiles").empty()) {
      shown_.insert(DLG_PROGRESS);
      shown_.insert(DLG_REBOOT);  // a file in use asks for a restart
    }
    if (enciphered_) CheckPasswordPage(*enciphered_);
    if (Bool("Config", "NeedReboot", false)) shown_.insert(DLG_REBOOT);
    if (Bool("Display", "ShowFinalDialog", true)) {
      shown_.insert(DLG_FINISH);
      shown_.insert(DLG_NOTFINISH);
    }
  }

  // The password page is the only place an attended setup learns the
  // password: without it every enciphered file fails its checksum.
  void CheckPasswordPage(bool enciphered) {
    bool asks = false;
    for (const std::string& item : Items(config_->Read("Config", "PreInstallDialogSequence")))
      asks = asks || Upper(item) == DLG_PASSWORD;
    if (enciphered && !asks && !data_.empty())
      WarnAt(*config_, "Config", "PreInstallDialogSequence", "bad-value",
             "the files are enciphered (--password) but no DLG_PASSWORD asks for the password: "
             "only an unattended run with /PASSWORD can install them");
    if (!enciphered && asks)
      WarnAt(*config_, "Config", "PreInstallDialogSequence", "bad-value",
             "DLG_PASSWORD asks for a password, but the build has none (--password): any answer passes");
  }

  bool Bool(const std::string& section, const std::string& key, bool fallback) const {
    return config_->Read(section, key, fallback ? "1" : "0") == "1";
  }

  void CheckKey(const KeyRule& rule, const std::string& value) {
    switch (rule.type) {
      case KeyType::kBool:
        if (value != "0" && value != "1")
          WarnAt(*config_, rule.section, rule.key, "bad-value",
                 std::string(rule.key) + "=" + value +
                     " reads as no: the setup takes only 1 for yes (0 for no)");
        break;
      case KeyType::kColour:
        if (!IsNumber(value))
          WarnAt(*config_, rule.section, rule.key, "bad-value",
                 value + " is not a colour ($BBGGRR or a decimal number): the default is used");
        break;
      case KeyType::kFont:
        CheckFont(rule.section, rule.key, value);
        break;
      case KeyType::kPosition:
        for (int f = 1; f <= 2; ++f) {
          std::string field = Str(GetField(f, Ansi(value), kComma));
          if (!field.empty() &&
              (!IsNumber(field) || IniStrToInt(Ansi(field), 0) < 0 || IniStrToInt(Ansi(field), 0) > 2))
            WarnAt(
                *config_, rule.section, rule.key, "bad-value",
                "\"" + field + "\" is not a placement: 0 (near the edge), 1 (centred) or 2 (the far side)");
        }
        break;
      case KeyType::kBitmap:
        if (!value.empty()) CheckBitmap(*config_, rule.section, rule.key, value);
        break;
      case KeyType::kText:
        break;
      default:
        CheckListItems(rule.key, rule.type, value);
    }
  }

  void CheckFreeSections() {
    for (const auto& [key, value] : config_->Values("DialogBitmap")) {
      if (!FindPage(Upper(key)))
        WarnAt(*config_, "DialogBitmap", key, "unknown-page", key + " is not a page");
      if (!Trim(value).empty()) CheckBitmap(*config_, "DialogBitmap", key, Trim(value));
    }
    bool headerDefault = false;
    for (const std::string& page : shown_)
      headerDefault = headerDefault || Trim(config_->Read("DialogBitmap", page)).empty();
    if (headerDefault && !PresetupFile("Osin.bmp"))
      WarnAt(*config_, "Config", "PreInstallDialogSequence", "missing-file",
             "pages without a DialogBitmap show Osin.bmp in their header, which is not in Presetup");
    for (const auto& [key, value] : config_->Values("StaticBitmap")) {
      String v = Ansi(value);
      CheckBitmap(*config_, "StaticBitmap", key, Str(GetField(1, v, kComma)));
      for (int f = 2; f <= 5; ++f) {
        std::string field = Str(GetField(f, v, kComma));
        if (!field.empty() && !IsNumber(field))
          WarnAt(*config_, "StaticBitmap", key, "bad-value",
                 "field " + std::to_string(f) + " (" + field +
                     ") of file,x,y,anchor,transparent is not a number");
      }
    }
    for (const auto& [key, value] : config_->Values("VersionInfo")) {
      std::string entry = Lower("Data\\" + key);
      if (std::none_of(data_.begin(), data_.end(), [&](const std::string& d) { return Lower(d) == entry; }))
        WarnAt(*config_, "VersionInfo", key, "missing-file", key + " is not a file under Data");
      int dots = 0;
      bool digits = !value.empty();
      // Each number is one 16-bit word of the version: a larger one spills
      // into its neighbour and the comparison goes wrong.
      long number = 0;
      bool fits = true;
      for (size_t i = 0; i < value.size(); ++i) {
        if (value[i] == '.') {
          digits = digits && i > 0 && value[i - 1] != '.' && i + 1 < value.size();
          ++dots;
          number = 0;
        } else {
          digits = digits && isdigit(static_cast<unsigned char>(value[i]));
          number = std::min(number * 10 + (value[i] - '0'), 100000L);
          fits = fits && number <= 65535;
        }
      }
      if (!digits || dots != 3 || !fits)
        WarnAt(*config_, "VersionInfo", key, "bad-value",
               "\"" + value + "\" is not a version of four numbers from 0 to 65535 such as 1.2.0.15");
    }
  }

  // The programs run before the first page: one that cannot start ends the
  // setup there, for every user, without a word.
  void CheckPreRunApps() {
    StringList variables;
    VariablesOf(languages_.front(), variables);
    for (const auto& [key, value] : config_->Values("PreRunApp")) {
      std::string program = Str(ParseRunSpec(ExpandString(Ansi(value), variables).Text).Program);
      std::string inPresetup = Below(program, kPresetupFolder);
      if (program.empty())
        WarnAt(*config_, "PreRunApp", key, "bad-value", "names no program: it starts nothing");
      if (!inPresetup.empty() && !PresetupFile(inPresetup))
        WarnAt(*config_, "PreRunApp", key, "missing-file",
               "runs " + inPresetup +
                   ", which is not in Presetup: the setup cannot start it and ends before its first page");
      if (!Below(program, kInstallFolder).empty())
        WarnAt(*config_, "PreRunApp", key, "bad-value",
               "runs a program from %InstallPath%, where nothing is installed yet when the programs run "
               "first: the setup cannot start it and ends before its first page");
      if (program.find_first_of("\\:") == std::string::npos && PresetupFile(program))
        WarnAt(*config_, "PreRunApp", key, "bad-value",
               "runs " + program + " from the folder the setup is started from, not from Presetup: write " +
                   "%Presetup%\\" + program);
    }
  }

  // Variables -------------------------------------------------------------

  // The variables of language Code: the setup's own, then [Variables] and
  // [Variables.<code>]; the folders stand for themselves.
  void VariablesOf(const std::string& code, StringList& list) const {
    for (const char* name : kBuiltinVariables) SetVariable(list, name, String("C:\\") + name);
    // The group page sets it to the group the user chose.
    SetVariable(list, "ProgramGroup", "C:\\ProgramGroup");
    for (const std::string& section : {std::string("Variables"), "Variables." + code}) {
      for (const auto& [key, value] : config_->Values(section))
        SetVariable(list, Ansi(key).c_str(), Ansi(value));
    }
  }

  // The uninstall registration is a key named after the program: a
  // backslash in the name makes a key below another, which the system's
  // list of programs does not show (nor the uninstaller remove), and an
  // empty name registers nothing at all.
  void CheckUninstallName() {
    if (!Bool("Config", "Uninstall", false)) return;
    for (const std::string& code : languages_) {
      StringList list;
      VariablesOf(code, list);
      std::string name = Str(ExpandVariables("%ProgramName%", list).Text);
      if (!name.empty() && name.find('\\') == std::string::npos) continue;
      WarnAt(*config_, "Config", "Uninstall", "bad-value",
             name.empty()
                 ? "the ProgramName of " + code + " is empty: no uninstaller is registered"
                 : "the ProgramName " + name + " holds a backslash: the uninstall registration becomes " +
                       "a key below another, which the system's list of programs does not show");
      return;
    }
  }

  void CheckVariables() {
    for (const std::string& code : languages_) {
      StringList list;
      VariablesOf(code, list);
      for (int i = 0; i < list.Count(); ++i) {
        Expanded expanded = ExpandVariables(ValuePart(list[i]), list);
        std::string name = Str(NamePart(list[i]));
        std::string why = "its expansion never ends";
        // A loop through an even number of names comes back to the same
        // text in one pass, which the setup takes as settled.
        for (int j = 0; j < list.Count() && !expanded.Runaway; ++j) {
          if (!expanded.Text.Pos("%" + list.Name(j) + "%")) continue;
          why = "the setup shows " + Str(expanded.Text);
          expanded.Runaway = true;
        }
        if (!expanded.Runaway) continue;
        bool own = config_->Has("Variables." + code, name);
        WarnAt(*config_, own ? "Variables." + code : "Variables", name, "runaway-variable",
               name + " refers to itself (directly or through others): " + why);
      }
    }
    for (const std::string& section : config_->Sections()) {
      std::vector<std::string> codes = languages_;
      if (Lower(section).rfind("variables.", 0) == 0) codes = {Upper(section.substr(10))};
      for (const auto& kv : config_->Values(section)) ScanReferences(*config_, section, kv, codes);
    }
  }

  // Reports references in Key=Value of Section that no variable of the
  // languages Codes defines.
  void ScanReferences(const IniFile& ini, const std::string& section,
                      const std::pair<std::string, std::string>& line,
                      const std::vector<std::string>& codes) {
    std::string text = line.first + "=" + line.second;
    for (size_t p = text.find('%'); p != std::string::npos; p = text.find('%', p + 1)) {
      size_t end = text.find('%', p + 1);
      if (end == std::string::npos) break;
      std::string name = text.substr(p + 1, end - p - 1);
      if (name.empty() || name.size() > 64 || !std::all_of(name.begin(), name.end(), [](char c) {
            return isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.';
          }))
        continue;
      std::vector<std::string> missing;
      std::string otherCase;
      for (const std::string& code : codes) {
        StringList list;
        VariablesOf(code, list);
        bool exact = false;
        for (int i = 0; i < list.Count(); ++i) {
          std::string defined = Str(NamePart(list[i]));
          if (defined == name)
            exact = true;
          else if (Same(defined, name))
            otherCase = defined;
        }
        if (!exact) missing.push_back(code);
      }
      p = end;
      if (missing.empty()) continue;
      if (!otherCase.empty()) {
        WarnAt(ini, section, line.first, "undefined-variable",
               "%" + name + "% does not match the variable " + otherCase +
                   ": references must have the name's letter case");
      } else if (missing.size() == codes.size()) {
        WarnAt(ini, section, line.first, "undefined-variable",
               "%" + name + "% is not defined: the text keeps it as it stands");
      } else {
        std::string which;
        for (const std::string& c : missing) which += (which.empty() ? "" : ", ") + c;
        WarnAt(ini, section, line.first, "undefined-variable",
               "%" + name + "% is not defined for " + which +
                   " (no [Variables] line, nor one in [Variables." + missing[0] + "])");
      }
    }
  }

  // Scripts ---------------------------------------------------------------

  void CheckScripts() {
    String bases = Ansi(config_->Read("Config", "InsFiles"));
    std::vector<CopyKey> used;  // the archive copies, in the order the setup reads them
    for (int b = 1; b <= CountWords(bases, kComma); ++b) {
      std::string base = Str(GetWord(b, bases, kComma));
      bool any = false;
      for (const char* suffix : kScriptSuffixes) {
        const IniFile* script = Open(base + suffix, false);
        if (!script) continue;
        any = true;
        CheckScript(*script, used);
      }
      if (!any)
        WarnAt(*config_, "Config", "InsFiles", "missing-file",
               "no script \"" + base + ".ins\" (nor \"" + base + ".nt\", .9x and the like) is in Presetup" +
                   (Trim(base) != base ? " (the setup keeps the blanks around an item: remove them)" : ""));
    }
    std::vector<std::string> keys;
    for (const CopyKey& copy : used) keys.push_back(copy.key);
    CopyLookup lookup(keys);
    for (const std::string& name : data_) {
      if (lookup.Find(name) < 0) {
        Warn(Slashed(name), 0, "unused-file", "no CopyFiles line of the scripts installs this file");
      }
    }
    for (const std::string& code : languages_) CheckShadowedCopies(used, code);
    CheckVersions(used, lookup);
    CheckStarts();
  }

  // The setup learns the version of a file to install from [VersionInfo]
  // alone, while it reads the installed copy's from its version resource:
  // a line left from the last release makes an update pass over the newer
  // library as "the same version", and a missing one leaves the choice to
  // the files' dates.
  void CheckVersions(const std::vector<CopyKey>& used, const CopyLookup& lookup) {
    for (size_t i = 0; i < data_.size(); ++i) {
      // Only the kinds of file that carry versions are opened: a project
      // may hold many thousand others.
      static const std::set<std::string> kVersioned = {".exe", ".dll", ".ocx", ".sys",
                                                       ".cpl", ".scr", ".drv", ".ax"};
      if (!kVersioned.count(Lower(dataPaths_[i].extension().string()))) continue;
      std::string own = FileVersionOf(dataPaths_[i]);
      if (own.empty()) continue;
      std::string key = data_[i].substr(5);
      std::string given;
      for (const auto& [name, value] : config_->Values("VersionInfo"))
        if (Lower(name) == Lower(key)) given = value;
      int taker = lookup.Find(data_[i]);
      if (!given.empty() && VersionNumbers(given) != VersionNumbers(own))
        WarnAt(*config_, "VersionInfo", key, "version-info",
               key + " carries the version " + own + ", not " + given + ": the setup takes it for " + given +
                   " when it compares it with an installed copy");
      else if (given.empty() && taker >= 0 && !(used[size_t(taker)].flags & kNoVersionCheck))
        Warn("Data/" + Slashed(key), 0, "version-info",
             "carries the version " + own + ", but [VersionInfo] has no line " + key + "=" + own +
                 ": the setup compares it with the installed copy by date alone");
    }
  }

  static std::string Slashed(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
  }

  // A version as its four numbers, so 1.02.0.0 is 1.2.0.0; anything else
  // as it is.
  static std::vector<long> VersionNumbers(const std::string& text) {
    std::vector<long> numbers;
    std::istringstream in(text);
    std::string part;
    while (std::getline(in, part, '.')) {
      bool digits = !part.empty() && part.size() < 10 &&
                    std::all_of(part.begin(), part.end(), [](char c) { return isdigit(uint8_t(c)) != 0; });
      numbers.push_back(digits ? std::stol(part) : -1);
    }
    return numbers;
  }

  static std::string FileNameOf(const std::string& path) { return path.substr(path.find_last_of("\\") + 1); }

  // What a shortcut (Shortcut) or a program run at the end starts. A file
  // of the installation is noted, to be checked once every copy line is
  // known; the setup's temporary folder is gone once the setup ends, and
  // holds only what the project's Presetup has.
  void NoteStart(const IniFile& script, const std::string& section, const std::string& key,
                 const String& program, const std::vector<std::string>& codes, bool shortcut) {
    StringList variables;
    VariablesOf(codes.front(), variables);
    std::string path = Str(ExpandString(program, variables).Text);
    if (Str(program.Trim()).empty())
      WarnAt(
          script, section, key, "bad-value",
          shortcut ? "names no target: the shortcut leads nowhere" : "names no program: it starts nothing");
    std::string installed = Below(path, kInstallFolder), inPresetup = Below(path, kPresetupFolder);
    if (!installed.empty()) starts_.push_back({installed, &script, section, key});
    if (inPresetup.empty()) return;
    if (shortcut)
      WarnAt(script, section, key, "bad-value",
             "leads into the setup's temporary folder (%Presetup%), which the setup deletes when it ends: "
             "install the file and point at its copy");
    else if (!PresetupFile(inPresetup))
      WarnAt(script, section, key, "missing-file",
             "runs " + inPresetup + ", which is not in Presetup: it cannot start");
  }

  // A shortcut or program to run at the end that starts a file of the
  // installation no copy line gives: a typo leaves the user a shortcut to
  // nothing, or the shell's box that it cannot find the program.
  void CheckStarts() {
    std::set<std::string> names = targetNames_;
    for (const std::string& name : data_) {
      for (size_t at = 0; at != std::string::npos;) {
        size_t next = name.find('\\', at);
        names.insert(Lower(name.substr(at, next == std::string::npos ? next : next - at)));
        at = next == std::string::npos ? next : next + 1;
      }
    }
    for (const Start& start : starts_) {
      std::string name = Lower(FileNameOf(start.path));
      if (name.empty() || names.count(name)) continue;
      WarnAt(*start.script, start.section, start.key, "missing-file",
             "starts %InstallPath%\\" + start.path + ", which no CopyFiles line installs: it leads nowhere");
    }
    // Files are taken back only as the installation left them, and the log
    // is written before any program of the project runs.
    for (const Start& file : uninstallFiles_) {
      if (names.count(Lower(FileNameOf(file.path)))) continue;
      WarnAt(
          *file.script, file.section, file.key, "bad-value",
          "names a file no copy line installs: the uninstaller removes a file only when nothing wrote to it "
          "after the installation, so one the program or a [RunApp] program makes stays");
    }
  }

  // The first file under Data that line Line of Lookup takes, or null.
  const std::string* FirstFileOf(const CopyLookup& lookup, int line, const std::string& key) const {
    if (!lookup.IsWildcard(line)) {
      auto it = dataFolded_.find(Fold(key));
      if (it == dataFolded_.end()) return nullptr;
      for (size_t i : it->second)
        if (lookup.Takes(line, data_[i])) return &data_[i];
      return nullptr;
    }
    for (const std::string& name : data_)
      if (lookup.Takes(line, name)) return &name;
    return nullptr;
  }

  // Whether Text, expanded for language Code, is a full path (C:\... or
  // \\server\...); the setup takes any other as relative to the folder it
  // was started from.
  bool IsFullPathFor(const std::string& code, const std::string& text) const {
    StringList variables;
    VariablesOf(code, variables);
    std::string path = Str(ExpandString(Ansi(text), variables).Text);
    bool drive =
        path.size() >= 3 && isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':' && path[2] == '\\';
    return drive || path.rfind("\\\\", 0) == 0;
  }

  // The setup takes the first copy line that matches a file: a line whose
  // every file an earlier wildcard line takes installs nothing.
  void CheckShadowedCopies(const std::vector<CopyKey>& used, const std::string& code) {
    // The setup's pending list of copies: one per name (without regard to
    // case) where it first stood, under the name's last spelling. Names are
    // looked up by their upper case: the list's own search would take a
    // script of many thousand copy lines minutes.
    std::unordered_map<std::string, size_t> at;
    std::vector<std::string> keys;
    std::vector<const CopyKey*> origin;
    for (const CopyKey& copy : used) {
      if (!copy.code.empty() && copy.code != code) continue;
      auto [it, fresh] = at.emplace(Str(UpperCase(Ansi(copy.key))), keys.size());
      if (fresh) {
        keys.push_back(copy.key);
        origin.push_back(&copy);
      } else {
        keys[it->second] = copy.key;
      }
    }
    CopyLookup lookup(keys);
    std::vector<bool> taking(keys.size());
    for (const std::string& name : data_) {
      int taker = lookup.Find(name);
      if (taker >= 0) taking[taker] = true;
    }
    for (size_t i = 0; i < keys.size(); ++i) {
      if (taking[i]) continue;
      const std::string* file = FirstFileOf(lookup, int(i), keys[i]);
      if (!file) continue;
      int taker = lookup.Find(*file);
      const CopyKey& line = *origin[i];
      WarnAt(*line.script, line.list, line.line, "shadowed-line",
             line.line + " installs nothing: the earlier line " + origin[taker]->line + " takes its files");
    }
  }

  void CheckScript(const IniFile& script, std::vector<CopyKey>& used) {
    std::set<std::string> referenced;
    std::vector<std::string> suffixes = {""};
    for (const std::string& code : languages_) suffixes.push_back("." + code);
    for (const std::string& suffix : suffixes) {
      std::vector<std::string> codes =
          suffix.empty() ? languages_ : std::vector<std::string>{suffix.substr(1)};
      for (int a = 0; a < kScriptActionCount; ++a) {
        std::string section = ScriptActionName(ScriptAction(a)) + suffix;
        referenced.insert(Lower(section));
        for (const auto& line : script.Values(section)) {
          ScanReferences(script, section, line, codes);
          if (a == kActRunApp) {
            NoteStart(script, section, line.first, ParseRunSpec(Ansi(line.second)).Program, codes, false);
            continue;
          }
          const std::string& list = line.first;
          referenced.insert(Lower(list));
          if (a == kActAddReg || a == kActDelReg) CheckRegistryKey(script, section, line);
          if ((a == kActCopyFiles || a == kActShortcuts) && !IsFullPathFor(codes.front(), line.second))
            WarnAt(script, section, list, "bad-value",
                   line.second.empty()
                       ? std::string("no folder: the files go to the root of the drive the setup is started "
                                     "from (write %InstallPath%)")
                       : "the folder \"" + line.second +
                             "\" is no full path: the setup puts the files into the " +
                             "folder it is started from (write %InstallPath%\\" + line.second + ")");
          std::string iniFile = Str(GetField(1, Ansi(line.second), kComma));
          if (a == kActAddIni && Str(GetField(2, Ansi(line.second), kComma)).empty())
            WarnAt(script, section, list, "bad-value",
                   "names no section of " + iniFile + ": the keys go into a section without a name, " +
                       "where no program looks for them (write " + line.second + ",Section)");
          if (a == kActAddIni && !IsFullPathFor(codes.front(), iniFile))
            WarnAt(script, section, list, "bad-value",
                   iniFile + " is no full path: the INI file lands in the folder the setup is started from " +
                       "(write %Windows%\\" + iniFile + " or %InstallPath%\\" + iniFile + ")");
          if (!script.HasSection(list)) {
            WarnAt(script, section, list, "missing-section",
                   "[" + section + "] names the section [" + list + "], which the script does not have");
            continue;
          }
          bool logsLines = a == kActAddIni || a == kActAddReg || a == kActDelReg;
          if (logsLines) CheckLineBreak(script, section, list, line.second);
          for (const auto& entry : script.Values(list)) {
            ScanReferences(script, list, entry, codes);
            if (a == kActCopyFiles) CheckCopyLine(script, list, entry, codes, suffix, used);
            if (a == kActShortcuts)
              NoteStart(script, list, entry.first, UnquoteIf(GetField(1, Ansi(entry.second), kComma), '"'),
                        codes, true);
            if (a == kActAddReg) CheckRegistryNumber(script, list, entry, codes);
            if (a == kActAddReg || a == kActAddIni || a == kActShortcuts)
              CheckNumberFields(script, list, entry, a);
            if (a == kActAddIni && entry.first.empty())
              WarnAt(script, list, "", "bad-value",
                     "a line without a key: the setup passes it over (written, it would erase the section)");
            if (a == kActDelReg) CheckRegistryDeletion(script, list, line.second, entry.first, codes);
            if (logsLines)
              CheckLineBreak(script, list, entry.first, LoggedValue(ScriptAction(a), entry.second));
          }
        }
      }
    }
    for (const std::string& section : script.Sections()) CheckUninstallPaths(script, section);
    // A section that names other sections of the script as an action
    // section does is one misspelt ([Shortcut], [Add Reg]): the setup does
    // nothing of it, and its list sections are told with it.
    std::vector<std::string> misspelt;
    for (const std::string& section : script.Sections()) {
      if (referenced.count(Lower(section)) || Lower(section).rfind("uninstall.", 0) == 0) continue;
      for (const auto& line : script.Values(section)) {
        if (!script.HasSection(line.first) || referenced.count(Lower(line.first))) continue;
        if (misspelt.empty() || misspelt.back() != section) misspelt.push_back(section);
        referenced.insert(Lower(line.first));
      }
    }
    for (const std::string& section : misspelt) {
      std::string actions;
      for (int a = 0; a < kScriptActionCount; ++a)
        actions += std::string(a ? ", " : "") + "[" + ScriptActionName(ScriptAction(a)) + "]";
      WarnAt(script, section, "", "unknown-section",
             "the setup does not read a section [" + section + "], nor the sections it names: the action " +
                 "sections are " + actions);
      referenced.insert(Lower(section));
    }
    for (const std::string& section : script.Sections()) {
      if (!referenced.count(Lower(section)) && Lower(section).rfind("uninstall.", 0) != 0)
        WarnAt(script, section, "", "unused-section", "no action section names [" + section + "]");
    }
  }

  // The lines an uninstall section adds to the log's records of files and
  // folders: the uninstaller takes only full paths, one file or folder
  // each, and refuses any other line (the user is told it stayed).
  void CheckUninstallPaths(const IniFile& script, const std::string& section) {
    std::string upper = Upper(section);
    if (upper.rfind("UNINSTALL.", 0) != 0) return;
    std::string kind = Str(GetWord(2, Ansi(upper), kDotSet));
    bool paths = false;
    for (int k = 0; k < osin::kLogKindCount; ++k) {
      bool file = k != osin::kLogAddReg && k != osin::kLogAddIni && k != osin::kLogCreateKeys;
      paths = paths || (file && kind == Upper(osin::LogSectionName(k)));
    }
    if (!paths) return;
    std::string code = Str(GetWord(3, Ansi(upper), kDotSet));
    for (const auto& line : script.Values(section)) {
      if (line.first.find_first_of("*?") != std::string::npos)
        WarnAt(script, section, line.first, "bad-value",
               "the uninstaller takes no wildcards: it refuses the line and ends as not completely "
               "removed (name each file)");
      else if (!IsFullPathFor(code.empty() ? languages_.front() : code, line.first))
        WarnAt(script, section, line.first, "bad-value",
               "is no full path: the uninstaller refuses the line and ends as not completely removed "
               "(write %InstallPath%\\" +
                   line.first + ")");
      else if (kind == Upper(osin::LogSectionName(osin::kLogCopyFiles)))
        uninstallFiles_.push_back({line.first, &script, section, line.first});
    }
  }

  // The root words are the setup's own, in capitals.
  void CheckRegistryKey(const IniFile& script, const std::string& section,
                        const std::pair<std::string, std::string>& line) {
    std::string root = line.second.substr(0, line.second.find('\\'));
    for (const char* word : {"HKCR", "HKCU", "HKLM", "HKU"})
      if (root == word) return;
    WarnAt(script, section, line.first, "bad-value",
           "the key " + line.second + " does not start with HKCR, HKCU, HKLM or HKU (in capitals)");
  }

  // A deletion that names no value of that name takes the whole key with
  // every key and value below it: a root, a key right below one or a key of
  // the system would cost the machine far more than the program's own.
  void CheckRegistryDeletion(const IniFile& script, const std::string& list, const std::string& base,
                             const std::string& name, const std::vector<std::string>& codes) {
    StringList variables;
    VariablesOf(codes.front(), variables);
    String key = ExpandString(Ansi(base), variables).Text;
    String value = ExpandString(Ansi(name), variables).Text;
    if (value != "\\") {
      if (key.IsEmpty() || key.Last() != '\\') key = key + "\\";
      key = key + value;
    }
    if (!IsProtectedKey(key) || IsClassKey(key)) return;
    WarnAt(script, list, name, "bad-value",
           "deletes " + Str(key) + " with every key and value below it, unless it names a value: " +
               "name the program's own key or value");
  }

  // The part of a line's value that lands in a line of a file: an INI
  // key's value, and a registry value's data in the install log unless
  // flag 1 keeps it out of the log.
  static std::string LoggedValue(ScriptAction action, const std::string& value) {
    if (action == kActAddIni) return value;
    if (action != kActAddReg || (StrToIntDef(GetField(2, Ansi(value), kComma), 0) & kNoLog)) return "";
    return Str(GetField(1, Ansi(value), kComma));
  }

  // "||" is a line break, and the INI file written or the install log line
  // that records the change breaks apart there: the rest becomes a line of
  // its own (a key of its own in an INI file), and the uninstaller cannot
  // take the change back.
  void CheckLineBreak(const IniFile& script, const std::string& section, const std::string& key,
                      const std::string& text) {
    if (key.find("||") == std::string::npos && text.find("||") == std::string::npos) return;
    WarnAt(script, section, key, "bad-value",
           "|| is a line break, which no line of an INI file or of the install log holds: what follows it "
           "becomes a line of its own, and the uninstaller cannot take the change back");
  }

  // The fields the setup reads as numbers read as 0 when they are none: a
  // value with a comma outside apostrophes is cut there, its rest taken for
  // the flags; a hot key written as a name makes none.
  void CheckNumberFields(const IniFile& script, const std::string& list,
                         const std::pair<std::string, std::string>& line, int action) {
    String value = Ansi(line.second);
    bool shortcut = action == kActShortcuts;
    for (int n = shortcut ? 5 : 2; n <= (shortcut ? 7 : 2); ++n) {
      String text = GetField(n, value, kComma);
      if (text.IsEmpty() || text.Pos('%') || IniStrToInt(text, INT_MIN) != INT_MIN ||
          IniStrToInt(text, INT_MAX) != INT_MAX)
        continue;
      WarnAt(script, list, line.first, "bad-value",
             shortcut
                 ? "\"" + Str(text) + "\" is no number: the setup reads 0 (the icon index, hot key and " +
                       "flags are numbers: 1618, or $652, is Ctrl+Alt+R)"
                 : "\"" + Str(text) + "\" after a comma is no number: the setup takes it for the flags " +
                       "and writes only \"" + Str(GetField(1, value, kComma)) +
                       "\" (write a text with a comma in apostrophes: 'a, b')");
      return;
    }
  }

  // A number the setup cannot read writes a DWORD of 0, silently.
  void CheckRegistryNumber(const IniFile& script, const std::string& list,
                           const std::pair<std::string, std::string>& line,
                           const std::vector<std::string>& codes) {
    String data = GetField(1, Ansi(line.second), kComma);
    if (!data.StartsWith("#")) return;
    StringList variables;
    VariablesOf(codes.front(), variables);
    String number = ExpandString(data.Copy(2, data.Length()), variables).Text;
    int value = 0;
    if (number.Pos('%') != 0 || TryStrToInt(number, value)) return;
    WarnAt(script, list, line.first, "bad-value",
           Str(data) + " is no number the setup can write: it writes 0 (a decimal from -2147483648 to " +
               "2147483647, or a hexadecimal up to #$FFFFFFFF)");
  }

  void CheckCopyLine(const IniFile& script, const std::string& list,
                     const std::pair<std::string, std::string>& line, const std::vector<std::string>& codes,
                     const std::string& suffix, std::vector<CopyKey>& used) {
    String value = Ansi(line.second);
    std::string target = Str(GetField(1, value, kComma));
    // A file from disk keeps its own name.
    targetNames_.insert(Lower(FileNameOf(target.empty() ? line.first : target)));
    if (!target.empty() && !NameHasWildcards(Ansi(line.first)) &&
        (target.back() == '\\' || target.find_first_of("|<>?\"") != std::string::npos))
      WarnAt(script, list, line.first, "bad-value",
             "the target " + target +
                 " is no name the system gives a file (a folder, or a character such as " +
                 "| or ?): the installation fails at this file");
    std::string flagsText = Str(GetField(2, value, kComma));
    int flags = flagsText.empty() ? 0 : IniStrToInt(Ansi(flagsText), -1);
    if (flags < 0 || flags > 255) {
      WarnAt(script, list, line.first, "bad-value",
             "flags \"" + flagsText + "\" are not a sum of 1, 2, 4, 8, 16, 32, 64 and 128");
      return;
    }
    if (flags & kExternalSource) return;
    StringList variables;
    VariablesOf(codes.front(), variables);
    std::string source = Str(ExpandString(Ansi(line.first), variables).Text);
    if (source.find('%') != std::string::npos) return;  // reported as a variable
    std::string key = "Data\\" + source;
    used.push_back({key, &script, list, line.first, suffix.empty() ? "" : suffix.substr(1), flags});
    CopyLookup lookup({key});
    if (!FirstFileOf(lookup, 0, key)) {
      WarnAt(script, list, line.first, "missing-file",
             source + " matches no file under Data: the setup passes the line over");
      return;
    }
    if (!(flags & kRegisterServer)) return;
    for (size_t i = 0; i < data_.size(); ++i) {
      if (!lookup.Takes(0, data_[i]) || IsLibrary(dataPaths_[i])) continue;
      WarnAt(script, list, line.first, "bad-value",
             data_[i].substr(5) +
                 " is no library (DLL or OCX), yet flag 4 registers it: every installation " +
                 "shows \"Cannot register OLE server!\"");
      return;
    }
  }

  // Whether File is a Windows library, which registers itself through its
  // DllRegisterServer (a program server registers with a switch instead).
  static bool IsLibrary(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string head = HeadOf(in);
    size_t pe = PeHeaderAt(head);
    // IMAGE_FILE_DLL in the file header's characteristics.
    return pe && (Le(head, pe + 22, 2) & 0x2000) != 0;
  }

  // Language files and documents ------------------------------------------

  // When a page the sequences do not name comes up, for a publisher who
  // never saw it.
  std::string WhenShown(const std::string& page) const {
    if (page == DLG_REBOOT && !Bool("Config", "NeedReboot", false))
      return " when a file to replace is in use and waits for the next restart";
    if (page == DLG_PROGRESS) return " while the files are installed";
    if (page == DLG_NOTFINISH) return " when the installation fails";
    return "";
  }

  // The language file that code Code uses: its own, else Enu.lng. Own
  // tells which.
  const IniFile* LanguageFile(const std::string& code, std::string& name, bool& own) {
    name = code + ".lng";
    own = PresetupFile(name) != nullptr;
    if (!own) name = "Enu.lng";
    return Open(name, true);
  }

  void CheckLanguageFiles() {
    std::vector<MessageUse> needed = {{1, "the question when the user cancels"}};
    // An unattended run with a wrong /PASSWORD logs the same message.
    if (shown_.count(DLG_PASSWORD) || enciphered_.value_or(false))
      needed.push_back({12, "the message for a wrong password"});
    if (!config_->Read("Config", "SupportedOS").empty())
      needed.push_back({13, "the message on a system not supported"});
    if (Bool("Config", "CheckAdminRights", false))
      needed.push_back({10, "the message for missing administrator rights"});
    if (!config_->Read("Config", "InsFiles").empty())
      for (int id : {2, 3, 4, 5, 6, 7, 8, 9, 11}) needed.push_back({id, "a message of the installation"});
    std::set<std::string> done;
    for (const std::string& code : languages_) {
      std::string name;
      bool own = false;
      const IniFile* lng = LanguageFile(code, name, own);
      if (!own)
        WarnAt(
            *config_, "Config", "Languages", "missing-file",
            "there is no " + code + ".lng in Presetup" +
                (lng ? ": users of " + code + " see the texts of Enu.lng"
                     : (code == "ENU" ? "" : ", nor an Enu.lng") + std::string(": the pages show no text")));
      if (!lng || !done.insert(Lower(name)).second) continue;
      // A message the file lacks comes from Enu.lng beside it.
      const IniFile* english = Open("Enu.lng", true);
      for (const MessageUse& m : needed)
        if (!lng->Has("Strings", std::to_string(m.id)))
          WarnAt(*lng, "Strings", "", "missing-text",
                 "[Strings] has no " + std::to_string(m.id) + " (" + m.use + "): " +
                     (english && english != lng && english->Has("Strings", std::to_string(m.id))
                          ? "the box shows the text of Enu.lng"
                      : m.id == 12 ? "the box shows the English \"Incorrect password!\""
                                   : "the box would be empty"));
      for (int id : {101, 102, 103})
        if (!lng->Has("Dialogs", std::to_string(id)))
          WarnAt(*lng, "Dialogs", "", "missing-text",
                 "[Dialogs] has no " + std::to_string(id) + " (the Back, Next and Cancel buttons)");
      for (const std::string& page : shown_) {
        const PageTexts* texts = FindPage(page);
        std::vector<std::string> missing;
        if (!lng->Has(page, "Title") && !lng->Has("Dialogs", "Title")) missing.push_back("Title");
        for (int id : texts->ids)
          if (!lng->Has(page, std::to_string(id)) && !lng->Has("Dialogs", std::to_string(id)))
            missing.push_back(std::to_string(id));
        if (missing.empty()) continue;
        std::string which;
        for (const std::string& m : missing) which += (which.empty() ? "" : ", ") + m;
        WarnAt(*lng, page, "", "missing-text",
               "the page " + page + " is shown" + WhenShown(page) + ", but [" + page +
                   "] (or [Dialogs]) has no " + which);
      }
      for (const std::string& section : lng->Sections()) {
        for (const auto& kv : lng->Values(section)) ScanReferences(*lng, section, kv, {code});
        std::string name = Str(GetWord(2, Ansi(section), kDotSet));
        bool copied = Upper(Str(GetWord(1, Ansi(section), kDotSet))) == "UNINSTALL" &&
                      Str(GetWord(3, Ansi(section), kDotSet)).empty();
        if (!IsLanguageSection(section))
          WarnAt(*lng, section, "", "unknown-section",
                 copied ? "the setup copies [" + section + "] into the install log as [" + name +
                              "], of which the uninstaller reads nothing (its texts are [Uninstall.Strings])"
                        : "the setup does not read a section [" + section + "]");
      }
      // The uninstaller puts an item only into these texts; a "%s" anywhere
      // else shows as it stands (a caption "%s deinstallieren").
      for (const auto& [id, text] : lng->Values("Uninstall.Strings"))
        if (id != "13" && id != "14" && id != "18" && text.find("%s") != std::string::npos)
          WarnAt(*lng, "Uninstall.Strings", id, "bad-value",
                 "[Uninstall.Strings] " + id +
                     " shows \"%s\" as it stands: only 13, 14 and 18 take an item; the program is "
                     "%ProgramName%");
    }
  }

  // License.<code> or License.txt, as the licence and readme pages read them.
  void CheckDocuments() {
    for (const auto& [page, base] : {std::pair<std::string, std::string>{DLG_LICENSE, "License"},
                                     std::pair<std::string, std::string>{DLG_README, "Readme"}}) {
      if (!shown_.count(page)) continue;
      for (const std::string& code : languages_) {
        bool found = false;
        for (const std::string& name : {base + "." + code, base + ".txt"}) {
          const std::string* file = PresetupFile(name);
          std::error_code error;
          found = found ||
                  (file && fs::file_size(project_ / "Presetup" / fs::u8path(*file), error) > 0 && !error);
        }
        if (!found)
          WarnAt(*config_, "Config", "PreInstallDialogSequence", "missing-file",
                 page + " shows " + base + "." + code + " or " + base +
                     ".txt, and Presetup has neither: the page is empty");
      }
    }
  }

  fs::path project_;
  int codePage_;
  std::optional<bool> enciphered_;
  std::vector<Finding> findings_;
  std::map<std::string, std::string> presetup_;                      // lower-case name -> name as stored
  std::vector<std::string> data_;                                    // archive names "Data\..."
  std::vector<fs::path> dataPaths_;                                  // the file of each
  std::unordered_map<std::string, std::vector<size_t>> dataFolded_;  // Fold of each, its index in data_
  std::map<std::string, std::unique_ptr<IniFile>> inis_;
  const IniFile* config_ = nullptr;
  std::vector<std::string> languages_;  // upper-case codes
  std::set<std::string> shown_;         // pages the setup may show
  // The lower-case file names that copy lines give their targets, and the
  // shortcuts and programs to run that start files of the installation.
  std::set<std::string> targetNames_;
  struct Start {
    std::string path;  // below %InstallPath%
    const IniFile* script;
    std::string section, key;
  };
  std::vector<Start> starts_;
  std::vector<Start> uninstallFiles_;  // the lines of [Uninstall.CopyFiles]
};

}  // namespace

bool LoadIniText(TztIniFile& ini, const std::string& text) {
  size_t offset = 0;
  auto read = [](void* context, char* buffer, int size) -> int {
    auto* state = static_cast<std::pair<const std::string*, size_t*>*>(context);
    size_t n = std::min(size_t(size), state->first->size() - *state->second);
    memcpy(buffer, state->first->data() + *state->second, n);
    *state->second += n;
    return int(n);
  };
  std::pair<const std::string*, size_t*> state(&text, &offset);
  return ini.Load(read, &state);
}

const std::vector<std::string>& FindingKinds() {
  static const std::vector<std::string> kinds = {
      "unknown-section",    "unknown-key",      "bad-value",       "unknown-page",   "missing-file",
      "bad-bitmap",         "missing-text",     "missing-section", "unused-section", "unused-file",
      "undefined-variable", "runaway-variable", "code-page",       "name-clash",     "shadowed-line",
      "long-name",          "too-large",        "version-info",    "lost-line"};
  return kinds;
}

std::vector<Finding> CheckProject(const fs::path& project, int codePage, std::optional<bool> enciphered) {
  return Checker(project, codePage, enciphered).Run();
}

std::string FormatFinding(const Finding& f) {
  return f.file + (f.line > 0 ? ":" + std::to_string(f.line) : "") + ": warning: " + f.text + " [" + f.kind +
         "]";
}

}  // namespace osin
