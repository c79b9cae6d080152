#pragma once
// The whole UTF-16 C run time.
#include "crt/Convert.h"
#include "crt/Format.h"
#include "crt/Types.h"
#include "crt/WideString.h"
