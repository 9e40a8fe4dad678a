#include <windows.h>

#include "config/registry.h"
#include "platform/file.h"

namespace osin {

namespace {

// The longest data ReadRegString accepts.
const DWORD kMaxStringData = 1024;
// Room for a key or value name during enumeration: value names may be far
// longer than key names (16383 characters).
const DWORD kMaxName = 16384;

HKEY RootKey(RegRoot root) {
  switch (root) {
    case RegRoot::kClassesRoot:
      return HKEY_CLASSES_ROOT;
    case RegRoot::kCurrentUser:
      return HKEY_CURRENT_USER;
    case RegRoot::kLocalMachine:
      return HKEY_LOCAL_MACHINE;
    case RegRoot::kUsers:
      return HKEY_USERS;
    case RegRoot::kNone:
      break;
  }
  return nullptr;
}

// Opens the key part of a split path; closed by the destructor.
class OpenKey {
 public:
  OpenKey(const TRegPath& path, REGSAM access) {
    HKEY root = RootKey(path.Root);
    if (root && RegOpenKeyExA(root, path.KeyPath.c_str(), 0, access, &key_) != ERROR_SUCCESS) key_ = nullptr;
  }
  // Creates the key and any missing parents.
  static OpenKey Create(const TRegPath& path) {
    OpenKey result;
    HKEY root = RootKey(path.Root);
    if (root && RegCreateKeyExA(root, path.KeyPath.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &result.key_,
                                nullptr) != ERROR_SUCCESS) {
      result.key_ = nullptr;
    }
    return result;
  }
  OpenKey(OpenKey&& other) noexcept : key_(other.key_) { other.key_ = nullptr; }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;
  ~OpenKey() {
    if (key_) RegCloseKey(key_);
  }
  HKEY get() const { return key_; }
  explicit operator bool() const { return key_ != nullptr; }

 private:
  OpenKey() = default;
  HKEY key_ = nullptr;
};

bool IsStringType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// Appends the key's subkey names (Values false) or value names (Values
// true) to List.
void EnumNames(HKEY key, bool values, StringList& list) {
  // On the heap: the deletion of a key tree recurses as deep as the tree.
  String room(kMaxName, '\0');
  char* name = room.Buffer();
  for (DWORD i = 0;; ++i) {
    DWORD length = kMaxName;
    LONG status = values ? RegEnumValueA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr)
                         : RegEnumKeyExA(key, i, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status != ERROR_SUCCESS) break;
    list.Add(String(name, static_cast<int>(length)));
  }
}

void ReadNames(const String& path, bool values, StringList& list) {
  list.Clear();
  OpenKey key(SplitRegPath(AddBackslash(path)), KEY_READ);
  if (key) EnumNames(key.get(), values, list);
}

}  // namespace

String ReadRegString(const String& path, const String& fallback) {
  TRegPath split = SplitRegPath(path);
  OpenKey key(split, KEY_READ);
  if (!key) return fallback;
  char data[kMaxStringData];
  DWORD type = REG_NONE;
  DWORD size = sizeof(data);
  if (RegQueryValueExA(key.get(), split.ValueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data),
                       &size) != ERROR_SUCCESS) {
    return fallback;
  }
  // Strings normally end in a zero, but the registry does not enforce it: a
  // string stored without one keeps its last character, and a value with no
  // data at all is empty. Other types lose their last byte, as they always
  // have for callers that read them as text.
  int length = static_cast<int>(size);
  if (IsStringType(type)) {
    if (length > 0 && data[length - 1] == 0) --length;
  } else if (length > 0) {
    --length;
  }
  return String(data, length);
}

int32_t ReadRegInteger(const String& path, int32_t fallback) {
  TRegPath split = SplitRegPath(path);
  OpenKey key(split, KEY_READ);
  if (!key) return fallback;
  unsigned char data[4] = {};
  DWORD size = sizeof(data);
  if (RegQueryValueExA(key.get(), split.ValueName.c_str(), nullptr, nullptr, data, &size) != ERROR_SUCCESS) {
    return fallback;
  }
  return static_cast<int32_t>(data[0] | data[1] << 8 | data[2] << 16 | static_cast<uint32_t>(data[3]) << 24);
}

bool WriteRegString(const String& path, const String& text) {
  TRegPath split = SplitRegPath(path);
  OpenKey key = OpenKey::Create(split);
  return key &&
         RegSetValueExA(key.get(), split.ValueName.c_str(), 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(text.c_str()), text.Length() + 1) == ERROR_SUCCESS;
}

bool WriteRegInteger(const String& path, int32_t value) {
  TRegPath split = SplitRegPath(path);
  OpenKey key = OpenKey::Create(split);
  DWORD data = static_cast<DWORD>(value);
  return key && RegSetValueExA(key.get(), split.ValueName.c_str(), 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&data), sizeof(data)) == ERROR_SUCCESS;
}

void ReadRegSubkeys(const String& path, StringList& list) {
  ReadNames(path, false, list);
}

void ReadRegValueNames(const String& path, StringList& list) {
  ReadNames(path, true, list);
}

bool RegKeyExists(const String& path) {
  return static_cast<bool>(OpenKey(SplitRegPath(AddBackslash(path)), KEY_READ));
}

bool CreateRegKey(const String& path) {
  TRegPath split = SplitRegPath(AddBackslash(path));
  return !split.KeyPath.IsEmpty() && static_cast<bool>(OpenKey::Create(split));
}

bool RegValueExists(const String& path) {
  TRegPath split = SplitRegPath(path);
  OpenKey key(split, KEY_READ);
  return key && RegQueryValueExA(key.get(), split.ValueName.c_str(), nullptr, nullptr, nullptr, nullptr) ==
                    ERROR_SUCCESS;
}

bool DeleteRegValue(const String& path) {
  TRegPath split = SplitRegPath(path);
  OpenKey key(split, KEY_SET_VALUE);
  return key && RegDeleteValueA(key.get(), split.ValueName.c_str()) == ERROR_SUCCESS;
}

namespace {

// Deletes Root\KeyPath with everything below it, depth first. Names are
// taken from the enumeration and used as they are, so any character in them
// is safe.
bool DeleteKeyTree(HKEY root, const String& keyPath) {
  StringList subkeys, values;
  HKEY key;
  if (RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_READ | KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    EnumNames(key, false, subkeys);
    EnumNames(key, true, values);
    for (int i = 0; i < values.Count(); ++i) RegDeleteValueA(key, values[i].c_str());
    RegCloseKey(key);
  }
  for (int i = 0; i < subkeys.Count(); ++i) DeleteKeyTree(root, keyPath + "\\" + subkeys[i]);
  int slash = LastBackslash(keyPath);
  String parentPath = slash ? keyPath.Copy(1, slash - 1) : String();
  String name = keyPath.Copy(slash + 1, keyPath.Length());
  HKEY parent;
  if (RegOpenKeyExA(root, parentPath.c_str(), 0, KEY_WRITE, &parent) != ERROR_SUCCESS) return false;
  bool deleted = RegDeleteKeyA(parent, name.c_str()) == ERROR_SUCCESS;
  RegCloseKey(parent);
  return deleted;
}

// Whether a key path below a root has no empty key name in it, itself
// included. A letter whose second byte has the code of a backslash ("表")
// ends no name.
bool NoEmptyKeyName(const String& keyPath) {
  int start = 1;  // where the name being walked begins
  for (int at; (at = NextBackslash(keyPath, start)) != 0; start = at + 1)
    if (at == start) return false;
  return start <= keyPath.Length();
}

}  // namespace

bool DeleteRegKey(const String& path) {
  TRegPath split = SplitRegPath(AddBackslash(path));
  HKEY root = RootKey(split.Root);
  const String& keyPath = split.KeyPath;
  // A variable that expanded to nothing leaves an empty key name: HKCU\%Company%
  // names the root, and HKCU\Software\%Company%\ or HKCU\Software\\%Product%
  // would name all of Software. Such a path must not empty a tree it never meant.
  return root && NoEmptyKeyName(keyPath) && DeleteKeyTree(root, keyPath);
}

bool DeleteRegEntry(const String& path) {
  if (RegValueExists(path)) return DeleteRegValue(path);
  if (RegKeyExists(path)) return DeleteRegKey(path);
  return false;
}

}  // namespace osin
