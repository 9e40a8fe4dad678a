#include "setup/session.h"

namespace osin {

TSetupSession::TSetupSession() {}

}  // namespace osin
