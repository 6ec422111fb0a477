#include "app/AppState.h"
#include "app/RunThread.h"
#include "app/SfxConfig.h"
#include "base/XString.h"
#include "ui/UserInterface.h"

bool closeCancelsExtraction(HWND dialog) {
  // The extraction waits for the answer; the window keeps answering meanwhile.
  if (!holdExtraction()) {
    if (!runActive()) return false;
    // Before the first entry or in the setup wait there is nothing to ask: the run stops at its
    // next step and ends this dialog itself.
    requestCancel();
    return true;
  }
  XString title, text;
  g_config.GetValue("CancelTitle", title);
  g_config.GetValue("CancelCaption", text);
  if (title.isEmpty()) title.setUtf8("Cancel");
  if (text.isEmpty()) text.setUtf8("Cancel the extraction?");
  bool yes = MessageBoxW(dialog, wide(text.getUtf16()), wide(title.getUtf16()), MB_YESNO) == IDYES;
  if (yes) requestCancel();
  releaseExtraction();
  return true;
}
