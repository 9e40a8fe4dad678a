// The end-to-end driver: starts a program under Wine and acts like a user.
//
//   osin-e2e-driver SCRIPT TRANSCRIPT ACKDIR
//
// It follows the program's top-level windows and writes each one it sees (and
// every change of its texts) to TRANSCRIPT, so the Linux side can check what
// a user would have read. SCRIPT holds one command per line:
//
//   start PROGRAM [ARGS...]      start the program (once)
//   start-named NAME PROGRAM     start PROGRAM with the command line NAME, as
//                                a console does for "NAME" found on the path
//   desktop NAME WxH             before start: run the program (and watch it)
//                                on a desktop of its own of that size, which
//                                Wine shows as a window at the screen's top
//                                left corner
//   hold CLASS MESSAGE           before start: stop the program's main thread
//                                once a window of CLASS has handled the
//                                (sent) MESSAGE, a decimal number, through the
//                                hook library osin-e2e-hold.dll beside the
//                                driver; test programs of our own hold
//                                themselves (hold.h)
//   wait-held MS                 until the program holds; records "HELD MS"
//                                with the milliseconds since its start
//   release                      lets a held program go on
//   wait-window PATTERN MS       until a visible window whose caption or class
//                                contains PATTERN exists
//   wait-gone PATTERN MS         until no such window exists
//   wait-new PATTERN MS          until a matching window exists that did not
//                                when the command began (a dialog reopened)
//   press ID [PATTERN]           click control ID of the newest (or the
//                                matching) window, as a user's click would
//   click ID [PATTERN]           let button ID of that window click itself
//                                (BM_CLICK), so its notification is sent to
//                                the window as a real click's is
//   close [PATTERN]              ask the newest (or matching) window to close
//   key VK [PATTERN]             bring the newest (or matching) window to the
//                                front and type the key VK (a decimal
//                                virtual-key code) as the keyboard would,
//                                to the control that has the focus
//   utf8                         from now on texts are read and written as
//                                UTF-8 (the script and the transcript too),
//                                not in the system's ANSI code page: for a
//                                program that shows other letters than the
//                                system's code page has
//   set-text ID TEXT             give control ID of the newest window TEXT
//                                (as typing it would)
//   select ID TEXT               select the item TEXT of list box ID of the
//                                newest window and notify the window
//   wait-text TEXT MS            until a visible window has a control whose
//                                text contains TEXT
//   expect-text TEXT             fail unless a visible window has such a
//                                control now
//   elapsed                      write "ELAPSED MS": the time since start
//   sync NAME                    print "SYNC NAME" and wait until the Linux
//                                side creates ACKDIR/NAME (screenshots, file
//                                system checks while the program is paused)
//   suspend / resume             stop or continue the program's main thread
//   sleep MS                     watch the windows for MS milliseconds
//   wait-exit MS                 until the program ends; records its exit code
//   kill                         end the program
//   lock PATH                    hold the file open as a running program
//                                would (others may read it, not delete it)
//   own NAME                     hold the named mutex NAME, as a running
//                                program that took it would
//   unlock                       close every file held so, and let go of
//                                every mutex
//
// A command that times out writes "ERROR ..." to the transcript and ends the
// driver with exit code 2 (after ending the program), so a stuck setup never
// hangs the test run. Lines starting with "#" and blank lines are ignored.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "hold.h"

namespace {

// The code page of the script's and the transcript's texts.
UINT textCodePage = CP_ACP;

std::wstring Widened(const std::string& text) {
  std::wstring wide(text.size() + 1, L'\0');
  wide.resize(MultiByteToWideChar(textCodePage, 0, text.c_str(), -1, &wide[0], int(wide.size())));
  return wide;
}

struct Control {
  int id;
  bool visible;
  std::string cls, text;
};

struct Seen {
  std::string description;
  std::string cls, caption;
};

class Driver {
 public:
  Driver(const std::string& transcript, const std::string& ackDir)
      : out_(transcript, std::ios::binary), ackDir_(ackDir) {}

  int Run(const std::string& scriptPath) {
    std::ifstream script(scriptPath);
    if (!script) return Fail("cannot read script " + scriptPath);
    std::string line;
    while (std::getline(script, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty() || line[0] == '#') continue;
      std::istringstream words(line);
      std::string verb;
      words >> verb;
      std::string rest;
      std::getline(words, rest);
      if (!rest.empty() && rest[0] == ' ') rest.erase(0, 1);
      Write("STEP " + line);
      int rc = Execute(verb, rest);
      if (rc) return rc;
    }
    return 0;
  }

  ~Driver() {
    EndProcess();
    if (!desktop_.empty()) RestoreScreenSize();
  }

 private:
  void EndProcess() {
    if (process_.hProcess) {
      DWORD code = 0;
      if (GetExitCodeProcess(process_.hProcess, &code) && code == STILL_ACTIVE) {
        TerminateProcess(process_.hProcess, 99);
        WaitForSingleObject(process_.hProcess, 5000);
      }
      CloseHandle(process_.hProcess);
      CloseHandle(process_.hThread);
      process_ = {};
    }
  }

  static bool WriteDesktopSize(const std::string& name, const std::string& size) {
    HKEY key;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\Explorer\\Desktops", 0, nullptr, 0, KEY_SET_VALUE,
                        nullptr, &key, nullptr) != ERROR_SUCCESS) {
      return false;
    }
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(size.c_str()),
                   static_cast<DWORD>(size.size() + 1));
    RegCloseKey(key);
    return true;
  }

  // Wine gives every program started later the screen size of the desktop
  // made last. A desktop of the screen's own size, made on a thread of its
  // own (this one may not change desktops while it holds a hook), puts it
  // back for the scenarios that follow.
  static DWORD WINAPI MakeScreenDesktop(LPVOID) {
    HDESK desk = CreateDesktopA("osin-e2e-screen", nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    if (!desk || !SetThreadDesktop(desk)) return 1;
    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    if (window) DestroyWindow(window);
    return 0;
  }

  void RestoreScreenSize() {
    WriteDesktopSize("osin-e2e-screen", screenSize_);
    HANDLE thread = CreateThread(nullptr, 0, MakeScreenDesktop, nullptr, 0, nullptr);
    if (thread) {
      WaitForSingleObject(thread, 30000);
      CloseHandle(thread);
    }
  }

  int Execute(const std::string& verb, const std::string& rest) {
    if (verb == "start") return Start(nullptr, rest);
    if (verb == "utf8") {
      textCodePage = CP_UTF8;
      return 0;
    }
    if (verb == "start-named") {
      size_t blank = rest.find(' ');
      return Start(rest.substr(blank + 1).c_str(), rest.substr(0, blank));
    }
    if (verb == "sleep") {
      Watch(std::stoi(rest), [] { return false; });
      return 0;
    }
    if (verb == "wait-window" || verb == "wait-gone") {
      std::string pattern;
      int ms = SplitPatternAndNumber(rest, pattern);
      bool wantPresent = verb == "wait-window";
      if (Watch(ms, [&] { return SeenMatching(pattern) == wantPresent; })) return 0;
      return Fail(verb + " timed out: " + pattern);
    }
    if (verb == "wait-new") {
      std::string pattern;
      int ms = SplitPatternAndNumber(rest, pattern);
      std::vector<HWND> before;
      for (const auto& entry : seen_) {
        if (Matches(entry.second, pattern)) before.push_back(entry.first);
      }
      auto fresh = [&] {
        for (const auto& entry : seen_) {
          if (Matches(entry.second, pattern) &&
              std::find(before.begin(), before.end(), entry.first) == before.end()) {
            return true;
          }
        }
        return false;
      };
      if (Watch(ms, fresh)) return 0;
      return Fail("wait-new timed out: " + pattern);
    }
    if (verb == "press") return Press(rest, false);
    if (verb == "click") return Press(rest, true);
    if (verb == "close") return Close(rest);
    if (verb == "key") return Key(rest);
    if (verb == "set-text" || verb == "select") return SetControl(verb, rest);
    if (verb == "wait-text") {
      std::string text;
      int ms = SplitPatternAndNumber(rest, text);
      if (Watch(ms, [&] { return SeenText(text); })) return 0;
      return Fail("wait-text timed out: " + text);
    }
    if (verb == "elapsed") {
      Write("ELAPSED " + std::to_string(GetTickCount() - started_));
      return 0;
    }
    if (verb == "expect-text") {
      Observe();
      return SeenText(rest) ? 0 : Fail("expect-text: nothing shows " + rest);
    }
    if (verb == "desktop") return UseDesktop(rest);
    if (verb == "hold") {
      hold_ = rest;
      return 0;
    }
    if (verb == "wait-held") return WaitHeld(std::stoi(rest));
    if (verb == "release") return SetEvent(release_) ? 0 : Fail("release failed");
    if (verb == "sync") return Sync(rest);
    if (verb == "suspend") return SuspendThread(process_.hThread) == (DWORD)-1 ? Fail("suspend failed") : 0;
    if (verb == "resume") return ResumeThread(process_.hThread) == (DWORD)-1 ? Fail("resume failed") : 0;
    if (verb == "wait-exit") return WaitExit(std::stoi(rest));
    if (verb == "lock") {
      HANDLE file =
          CreateFileA(rest.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
      if (file == INVALID_HANDLE_VALUE) return Fail("cannot lock " + rest);
      locks_.push_back(file);
      return 0;
    }
    if (verb == "own") {
      locks_.push_back(CreateMutexA(nullptr, TRUE, rest.c_str()));
      return locks_.back() ? 0 : Fail("cannot own " + rest);
    }
    if (verb == "unlock") {
      // A mutex stays owned until released (no-op for a file).
      for (HANDLE held : locks_) {
        ReleaseMutex(held);
        CloseHandle(held);
      }
      locks_.clear();
      return 0;
    }
    if (verb == "kill") {
      TerminateProcess(process_.hProcess, 99);
      return 0;
    }
    return Fail("unknown command " + verb);
  }

  // "some pattern 5000" -> pattern "some pattern", 5000
  static int SplitPatternAndNumber(const std::string& rest, std::string& pattern) {
    size_t blank = rest.find_last_of(' ');
    pattern = blank == std::string::npos ? std::string() : rest.substr(0, blank);
    return std::stoi(rest.substr(blank == std::string::npos ? 0 : blank + 1));
  }

  int Start(const char* program, const std::string& commandLine) {
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    if (!desktop_.empty()) si.lpDesktop = &desktop_[0];
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back(0);
    // The events through which the program holds and is released; the
    // program finds their names in its environment.
    std::string prefix = "osin-e2e-" + std::to_string(GetCurrentProcessId());
    held_ = CreateEventA(nullptr, FALSE, FALSE, (prefix + kHeldSuffix).c_str());
    release_ = CreateEventA(nullptr, FALSE, FALSE, (prefix + kReleaseSuffix).c_str());
    SetEnvironmentVariableA(kHoldEventsVariable, prefix.c_str());
    SetEnvironmentVariableA(kHoldAtVariable, hold_.empty() ? nullptr : hold_.c_str());
    DWORD flags = hold_.empty() ? 0 : CREATE_SUSPENDED;
    if (!CreateProcessA(program, buffer.data(), nullptr, nullptr, FALSE, flags, nullptr, nullptr, &si,
                        &process_)) {
      return Fail("cannot start " + commandLine + " (error " + std::to_string(GetLastError()) + ")");
    }
    started_ = GetTickCount();
    Write("STARTED pid=" + std::to_string(process_.dwProcessId));
    Write("SCREEN " + std::to_string(GetSystemMetrics(SM_CXSCREEN)) + " " +
          std::to_string(GetSystemMetrics(SM_CYSCREEN)));
    if (hold_.empty()) return 0;
    HMODULE library = LoadLibraryA(SiblingPath("osin-e2e-hold.dll").c_str());
    FARPROC hook = library ? GetProcAddress(library, "OsinHoldHook") : nullptr;
    if (!hook ||
        !SetWindowsHookExA(WH_CALLWNDPROCRET, reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(hook)),
                           library, process_.dwThreadId)) {
      return Fail("cannot place the hold hook (error " + std::to_string(GetLastError()) + ")");
    }
    ResumeThread(process_.hThread);
    return 0;
  }

  static std::string SiblingPath(const std::string& name) {
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string path(self, n);
    return path.substr(0, path.find_last_of('\\') + 1) + name;
  }

  // Wine shows a named desktop as a window of the size its registry entry
  // gives; the driver moves there too, so it sees the program's windows.
  int UseDesktop(const std::string& rest) {
    size_t blank = rest.find(' ');
    desktop_ = rest.substr(0, blank);
    screenSize_ =
        std::to_string(GetSystemMetrics(SM_CXSCREEN)) + "x" + std::to_string(GetSystemMetrics(SM_CYSCREEN));
    if (!WriteDesktopSize(desktop_, rest.substr(blank + 1))) return Fail("cannot write the desktop's size");
    HDESK desk = CreateDesktopA(desktop_.c_str(), nullptr, nullptr, 0, GENERIC_ALL, nullptr);
    if (!desk || !SetThreadDesktop(desk)) return Fail("cannot use desktop " + desktop_);
    return 0;
  }

  int WaitHeld(int ms) {
    bool ended = false;
    auto heldOrEnded = [&] {
      if (WaitForSingleObject(held_, 0) == WAIT_OBJECT_0) return true;
      ended = WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0;
      return ended;
    };
    if (!Watch(ms, heldOrEnded) || ended) {
      return Fail(ended ? "the program ended without holding"
                        : "the program did not hold in " + std::to_string(ms) + " ms");
    }
    Write("HELD " + std::to_string(GetTickCount() - started_));
    return 0;
  }

  // "NUMBER PATTERN": the number, and the window whose title matches.
  HWND NumberAndWindow(const std::string& rest, int& number, std::string& pattern) {
    std::istringstream words(rest);
    number = 0;
    words >> number;
    std::getline(words, pattern);
    if (!pattern.empty() && pattern[0] == ' ') pattern.erase(0, 1);
    return FindWindowMatching(pattern);
  }

  int Press(const std::string& rest, bool selfClick) {
    int id;
    std::string pattern;
    HWND window = NumberAndWindow(rest, id, pattern);
    if (!window) return Fail("press: no window matching '" + pattern + "'");
    HWND control = GetDlgItem(window, id);
    if (selfClick) {
      if (!control) return Fail("click: no control " + std::to_string(id));
      PostMessageA(control, BM_CLICK, 0, 0);
      return 0;
    }
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
    return 0;
  }

  int Close(const std::string& pattern) {
    HWND window = FindWindowMatching(pattern);
    if (!window) return Fail("close: no window matching '" + pattern + "'");
    PostMessageA(window, WM_CLOSE, 0, 0);
    return 0;
  }

  int Key(const std::string& rest) {
    int vk;
    std::string pattern;
    HWND window = NumberAndWindow(rest, vk, pattern);
    if (!window) return Fail("key: no window matching '" + pattern + "'");
    SetForegroundWindow(window);
    Sleep(200);
    INPUT input[2] = {};
    for (INPUT& i : input) {
      i.type = INPUT_KEYBOARD;
      i.ki.wVk = static_cast<WORD>(vk);
    }
    input[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, input, sizeof(INPUT));
    return 0;
  }

  // "ID TEXT": the text of an edit, or the item of a list box to select.
  int SetControl(const std::string& verb, const std::string& rest) {
    size_t blank = rest.find(' ');
    int id = std::stoi(rest.substr(0, blank));
    std::string text = blank == std::string::npos ? std::string() : rest.substr(blank + 1);
    HWND window = FindWindowMatching("");
    HWND control = window ? GetDlgItem(window, id) : nullptr;
    if (!control) return Fail(verb + ": no control " + std::to_string(id));
    DWORD_PTR result = 0;
    LPARAM p = reinterpret_cast<LPARAM>(text.c_str());
    if (verb == "set-text") {
      std::wstring wide = Widened(text);
      SendMessageTimeoutW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(wide.c_str()), SMTO_ABORTIFHUNG,
                          5000, &result);
      return 0;
    }
    SendMessageTimeoutA(control, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1), p, SMTO_ABORTIFHUNG, 5000,
                        &result);
    if (static_cast<LRESULT>(result) == LB_ERR) return Fail("select: no item '" + text + "'");
    SendMessageTimeoutA(control, LB_SETCURSEL, result, 0, SMTO_ABORTIFHUNG, 5000, &result);
    PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, LBN_SELCHANGE), reinterpret_cast<LPARAM>(control));
    return 0;
  }

  int Sync(const std::string& name) {
    Observe();
    std::printf("SYNC %s\n", name.c_str());
    std::fflush(stdout);
    std::string ack = ackDir_ + "\\" + name;
    if (Watch(120000, [&] { return GetFileAttributesA(ack.c_str()) != INVALID_FILE_ATTRIBUTES; })) return 0;
    return Fail("sync " + name + ": no answer from the test");
  }

  int WaitExit(int ms) {
    if (!Watch(ms, [&] { return WaitForSingleObject(process_.hProcess, 0) == WAIT_OBJECT_0; })) {
      return Fail("program did not end in " + std::to_string(ms) + " ms");
    }
    DWORD code = 0;
    GetExitCodeProcess(process_.hProcess, &code);
    Write("EXIT " + std::to_string(code));
    return 0;
  }

  template <typename Done>
  bool Watch(int ms, Done done) {
    DWORD start = GetTickCount();
    for (;;) {
      Observe();
      if (done()) return true;
      if (static_cast<int>(GetTickCount() - start) >= ms) return false;
      Sleep(5);
    }
  }

  int Fail(const std::string& why) {
    Observe();
    Write("ERROR " + why);
    std::fprintf(stderr, "driver: %s\n", why.c_str());
    return 2;
  }

  // Texts of another process's windows travel by message; a busy or paused
  // program must not block us, hence the time-out, after which the text the
  // system keeps for the window is read without a message.
  static std::string TextOf(HWND window) {
    char buffer[4096 * 3];
    DWORD_PTR copied = 0;
    WCHAR wide[4096];
    int n = 0;
    if (textCodePage == CP_ACP) {
      if (SendMessageTimeoutA(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG,
                              300, &copied)) {
        return std::string(buffer, copied);
      }
    } else if (SendMessageTimeoutW(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(wide), SMTO_ABORTIFHUNG,
                                   300, &copied)) {
      n = static_cast<int>(copied);
    }
    if (!n) n = InternalGetWindowText(window, wide, 4096);
    int bytes = WideCharToMultiByte(textCodePage, 0, wide, n, buffer, sizeof buffer, nullptr, nullptr);
    return std::string(buffer, bytes > 0 ? bytes : 0);
  }

  static std::string ClassOf(HWND window) {
    char buffer[256];
    int n = GetClassNameA(window, buffer, sizeof buffer);
    return std::string(buffer, n > 0 ? n : 0);
  }

  static std::string Escape(const std::string& s) {
    std::string r;
    for (char c : s) {
      if (c == '\n') {
        r += "\\n";
      } else if (c == '\r') {
        r += "\\r";
      } else if (c == '\\') {
        r += "\\\\";
      } else {
        r += c;
      }
    }
    return r;
  }

  struct TopWindowSearch {
    DWORD pid;
    std::vector<HWND> found;
  };

  static BOOL CALLBACK CollectTopWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<TopWindowSearch*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == search->pid && IsWindowVisible(window)) search->found.push_back(window);
    return TRUE;
  }

  static BOOL CALLBACK CollectControl(HWND child, LPARAM param) {
    auto* list = reinterpret_cast<std::vector<Control>*>(param);
    std::string cls = ClassOf(child);
    list->push_back({GetDlgCtrlID(child), IsWindowVisible(child) != 0, cls,
                     cls == "ListBox" ? ItemsOf(child) : TextOf(child)});
    return TRUE;
  }

  // A list box's items joined by "|", the selected one marked with "*".
  static std::string ItemsOf(HWND list) {
    DWORD_PTR count = 0, selected = 0;
    SendMessageTimeoutA(list, LB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 300, &count);
    SendMessageTimeoutA(list, LB_GETCURSEL, 0, 0, SMTO_ABORTIFHUNG, 300, &selected);
    std::string items;
    for (DWORD_PTR i = 0; i < count && i < 200; ++i) {
      // Wine hands a list box's text to another process as wide text.
      WCHAR wide[1024] = {};
      DWORD_PTR length = 0;
      SendMessageTimeoutW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(wide), SMTO_ABORTIFHUNG, 300,
                          &length);
      char buffer[1024 * 3];
      int n = WideCharToMultiByte(textCodePage, 0, wide, length < 1024 ? static_cast<int>(length) : 0, buffer,
                                  sizeof buffer, nullptr, nullptr);
      if (i) items += "|";
      if (i == selected) items += "*";
      items += std::string(buffer, n > 0 ? n : 0);
    }
    return items;
  }

  std::vector<HWND> TopWindows() const {
    TopWindowSearch context{process_.dwProcessId, {}};
    EnumWindows(CollectTopWindow, reinterpret_cast<LPARAM>(&context));
    return context.found;
  }

  static std::vector<Control> ControlsOf(HWND window) {
    std::vector<Control> controls;
    EnumChildWindows(window, CollectControl, reinterpret_cast<LPARAM>(&controls));
    return controls;
  }

  static bool Matches(const Seen& seen, const std::string& pattern) {
    return pattern.empty() || seen.caption.find(pattern) != std::string::npos ||
           seen.cls.find(pattern) != std::string::npos;
  }

  bool SeenText(const std::string& text) const {
    for (const auto& entry : seen_) {
      if (entry.second.description.find(" text=") != std::string::npos &&
          entry.second.description.find(text) != std::string::npos)
        return true;
    }
    return false;
  }

  // Whether the last look at the windows found one matching Pattern; a
  // window that lives shorter than one look is still caught by Observe.
  bool SeenMatching(const std::string& pattern) const {
    for (const auto& entry : seen_) {
      if (Matches(entry.second, pattern)) return true;
    }
    return false;
  }

  HWND FindWindowMatching(const std::string& pattern) {
    HWND match = nullptr;
    for (HWND window : TopWindows()) {
      if (Matches(seen_[window], pattern)) {
        // EnumWindows lists the topmost first: keep the first match.
        if (!match) match = window;
      }
    }
    return match;
  }

  void Observe() {
    if (!process_.hProcess) return;
    std::map<HWND, Seen> now;
    for (HWND window : TopWindows()) {
      Seen seen;
      seen.cls = ClassOf(window);
      seen.caption = TextOf(window);
      std::ostringstream d;
      d << "WINDOW " << window << " class=" << Escape(seen.cls) << " caption=" << Escape(seen.caption)
        << "\n";
      RECT r;
      if (GetWindowRect(window, &r)) {
        d << "RECT " << window << " " << r.left << " " << r.top << " " << r.right - r.left << " "
          << r.bottom - r.top << "\n";
      }
      for (const Control& c : ControlsOf(window)) {
        d << "CONTROL " << window << " id=" << c.id << " visible=" << c.visible << " class=" << Escape(c.cls)
          << " text=" << Escape(c.text) << "\n";
      }
      seen.description = d.str();
      auto old = seen_.find(window);
      if (old == seen_.end() || old->second.description != seen.description) {
        out_ << seen.description;
        out_.flush();
      }
      now[window] = seen;
    }
    for (const auto& [window, seen] : seen_) {
      if (!now.count(window)) Write("GONE " + PointerText(window) + " caption=" + Escape(seen.caption));
    }
    seen_ = std::move(now);
  }

  static std::string PointerText(HWND window) {
    std::ostringstream s;
    s << window;
    return s.str();
  }

  void Write(const std::string& line) {
    out_ << line << "\n";
    out_.flush();
  }

  std::ofstream out_;
  std::string ackDir_;
  std::string desktop_;
  std::string screenSize_;
  std::string hold_;
  HANDLE held_ = nullptr;
  HANDLE release_ = nullptr;
  DWORD started_ = 0;
  PROCESS_INFORMATION process_ = {};
  std::vector<HANDLE> locks_;
  std::map<HWND, Seen> seen_;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: osin-e2e-driver SCRIPT TRANSCRIPT ACKDIR\n");
    return 2;
  }
  Driver driver(argv[2], argv[3]);
  return driver.Run(argv[1]);
}
