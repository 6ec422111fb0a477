#include "app/Messages.h"

#include "app/AppState.h"
#include "app/Dialogs.h"
#include "app/RunLog.h"
#include "app/RunThread.h"
#include "app/SfxConfig.h"
#include "base/StringBuffer.h"
#include "base/XString.h"

namespace {
// Only when somebody reads it: a console, a redirection or a pipe.
void writeToStandardError(const StringBuffer &line) {
  HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (error == nullptr || error == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(error, line.getText(), line.getSize(), &written, nullptr);
}
}  // namespace

bool isSilentRun() { return g_config.GetFlag("Silent"); }

void showMessage(HWND owner, const char *utf8Text, const char *utf8Caption) {
  // Nobody is there to click a box while the session ends.
  if (!isSilentRun() && !sessionEnding()) {
    XString text, caption;
    text.setUtf8(utf8Text);
    caption.setUtf8(utf8Caption);
    showMessageBox(owner, text.getUtf16(), caption.getUtf16(), MB_OK);
    return;
  }
  StringBuffer line(utf8Caption);
  line.append(": ");
  line.append(utf8Text);
  runLogWrite("%s\r\n", line.getText());
  line.append("\r\n");
  writeToStandardError(line);
}
