// The PNG codec's exceptions, apart from the image class, so the codec's inner files can raise
// them without taking in the class.
#pragma once

#include "platform/exception.h"

NIMBREL_DECLARE_EXCEPTION(EQorPNG, Exception);  // raised by the writer
NIMBREL_DECLARE_EXCEPTION(EVynPNG, Exception);  // raised by the reader
