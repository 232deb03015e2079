#pragma once

// Makes dir the process's current directory. Returns false when that failed.
bool SetCurrentDir(const char* dir);
