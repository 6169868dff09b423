#pragma once
// GDI+ as the MinGW headers need it: they expect the COM declarations that
// WIN32_LEAN_AND_MEAN leaves out, and unqualified min and max.
#include <windows.h>
#include <objidl.h>

#include <algorithm>
using std::max;
using std::min;
#include <gdiplus.h>
