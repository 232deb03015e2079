// POSIX file systems have no short names: the short form is the path itself.
#include "platform/short_path.h"

void ToShortPath(char* /*path*/, int /*cap*/) {}
