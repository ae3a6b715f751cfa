// The whole host SDK interface in one include.
#pragma once

#include "AE_Hooks.h"
#include "AE_Suites.h"
#include "AE_Types.h"
#include "SPBasicSuite.h"
