// Capacities and the path separator of the platform the launcher is built for.
#pragma once

#ifdef _WIN32
// MAX_PATH: every path buffer of the launcher holds at most 259 characters and a NUL.
constexpr int kPathMax = 260;
constexpr char kPathSep = '\\';
#else
#include <climits>
constexpr int kPathMax = PATH_MAX;
constexpr char kPathSep = '/';
#endif
