// Start-up of the text code.
#include "text/message_start.h"

#include "core/error_report.h"
#include "text/message_player.h"
#include "text/message_script_values.h"
#include "text/message_text_state.h"

namespace korvel {

int StartMessageText() {
  if (CreateMessageTextState() != 0) {
    ReportError(100010, true);
    return -1;
  }
  InitMessagePlayer();
  ResetMessageScriptValues();
  InstallMessagePlayer();
  return 0;
}

}  // namespace korvel
