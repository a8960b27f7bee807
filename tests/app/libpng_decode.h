// The libpng decoder every suite shares; kept under this name for the tests that include it so.
#pragma once

#include "tests/libpng_decode.h"
