// The fixtures of the engine's Windows tests: a scratch folder with an
// install log in it, message boxes recorded (and answered) instead of
// shown, and the INI stores dropped and no run-ending fault left at the
// end; the file phase wired to pending lists of its own.
#pragma once

#include <string>
#include <vector>

#include "config/language.h"
#include "config/profile.h"
#include "files.h"
#include "install/filephase.h"
#include "install/log.h"
#include "install/pending.h"
#include "platform/fault.h"
#include "testing.h"
#include "ui/msgbox.h"

namespace osin {

class EngineTest : public ScratchTest {
 protected:
  void SetUp() override {
    ScratchTest::SetUp();
    log_ = TInstallLog{Path(logName_), true};
    SetBoxHook(
        [](void* context, const String&, const String& text, uint32_t) {
          auto* self = static_cast<EngineTest*>(context);
          self->boxes_.push_back(ToStd(text));
          return self->answer_;
        },
        this);
  }
  void TearDown() override {
    SetBoxHook(nullptr, nullptr);
    DropAllStores();
    EXPECT_FALSE(FaultPending()) << ToStd(TakeFault());
    ScratchTest::TearDown();
  }
  std::string LogText() {
    DropAllStores();
    return ReadBytes(log_.FileName);
  }

  // The log's name in the scratch folder; set before SetUp.
  String logName_ = "install.log";
  TInstallLog log_;
  std::vector<std::string> boxes_;
  int answer_ = kBoxResultOk;
};

// The file phase over lists_, its texts from the language file Enu.lng of
// the scratch folder (written before SetUp from languageText_).
class PhaseTest : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    languageFile_ = Path("Enu.lng");
    ASSERT_TRUE(WriteBytes(languageFile_, languageText_));
    phase_.ArchiveCopies = &lists_.ArchiveCopies;
    phase_.ExternalCopies = &lists_.ExternalCopies;
    phase_.OleServers = &lists_.OleServers;
    phase_.Fonts = &lists_.Fonts;
    phase_.Log = &log_;
    phase_.ArchiveFile = Path("setup.rar");
    phase_.ConfigFile = Path("Osin.ini");
    phase_.Texts = &texts_;
    phase_.NeedReboot = &needReboot_;
  }

  std::string languageText_;
  String languageFile_;
  StringList variables_;
  String code_ = "ENU";
  LanguageTexts texts_{languageFile_, code_, variables_};
  TPendingLists lists_;
  bool needReboot_ = false;
  TFilePhase phase_;
};

}  // namespace osin
