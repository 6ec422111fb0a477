#pragma once

// A setup program that is there but that Windows will not start: an access rule on the folder,
// software-restriction or AppLocker policy, Smart App Control or a virus scanner. People meet
// this with %TEMP% locked down, and the usual "is this file in the EXE" text sends them the
// wrong way.

#include "platform/win32.h"

class StringBuffer;

// The Win32 errors by which a policy or a scanner refuses to start a program.
bool isStartRefusal(DWORD error);

// "Windows refused to start PROGRAM in FOLDER: REASON (error N). ..." with the way out.
void describeStartRefusal(const StringBuffer &program, const StringBuffer &folder, DWORD error, StringBuffer &text);
