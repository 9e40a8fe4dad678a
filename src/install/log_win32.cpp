#include "config/registry.h"
#include "install/log.h"
#include "platform/file.h"

namespace osin {

bool ForceKeyLogged(const TInstallLog& log, const String& path) {
  if (path.IsEmpty()) return false;
  String key = path;
  if (LastBackslash(key) == key.Length()) key.SetLength(key.Length() - 1);
  if (RegKeyExists(key)) return true;
  String parent = RegKeyPart(key);
  if (!parent.IsEmpty() && parent != key) ForceKeyLogged(log, parent);
  if (!CreateRegKey(key)) return false;
  WriteLogEntry(log, kLogCreateKeys, key, kNoText);
  return true;
}

}  // namespace osin
