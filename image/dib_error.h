// The image library's exception: the operation's name, a colon, a blank and the fault.
#pragma once

#include "platform/exception.h"

NIMBREL_DECLARE_EXCEPTION(EVynCustomDIB, Exception);

// Raises EVynCustomDIB with "<method>: <fault>".
[[noreturn]] void RaiseDIBError(const char* method, const char* fault);
