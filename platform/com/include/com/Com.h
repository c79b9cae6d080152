#pragma once
// All of the COM run time and its server helpers.
#include "com/Automation.h"
#include "com/HResult.h"
#include "com/Registrar.h"
#include "com/Runtime.h"
#include "com/Server.h"
#include "com/TypeLibrary.h"
#include "com/Unknown.h"
