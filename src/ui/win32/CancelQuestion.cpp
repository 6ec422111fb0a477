#include "app/AppState.h"
#include "app/RunThread.h"
#include "app/SfxConfig.h"
#include "base/XString.h"
#include "ui/UserInterface.h"

bool closeCancelsExtraction(HWND dialog) {
  if (!isExtracting()) return false;
  XString title, text;
  g_config.GetValue("CancelTitle", title);
  g_config.GetValue("CancelCaption", text);
  if (title.isEmpty()) title.setUtf8("Cancel");
  if (text.isEmpty()) text.setUtf8("Cancel the extraction?");
  // The run goes on while the question is open; it may even finish first, and a late Yes then
  // changes nothing.
  if (MessageBoxW(dialog, wide(text.getUtf16()), wide(title.getUtf16()), MB_YESNO) == IDYES) requestCancel();
  return true;
}
