#include "app/AppState.h"

#include "app/SfxConfig.h"
#include "archive/SimpleArchive.h"

// Defined together so that their construction order is the order written here.
StringBuffer g_password;
static SfxConfig s_config;
SfxConfig &g_config = s_config;
static SimpleArchive s_archive;
SimpleArchive &g_archive = s_archive;
StringBuffer g_runLogPath;

FILE *g_runLog = nullptr;
HINSTANCE g_instance = nullptr;
WCHAR g_windowTitle[100];
WCHAR g_windowClass[100];
int g_exitCode = 0;
int64_t g_payloadStart = 0;
int64_t g_payloadEnd = 0;
HWND g_hiddenWindow = nullptr;
HWND g_mainDialog = nullptr;
HWND g_progressDialog = nullptr;
bool g_passwordCancelled = false;
bool g_launchedWithoutWait = false;
bool g_progressStarted = false;
bool g_helpRequested = false;
