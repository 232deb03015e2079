#pragma once

// Full path of the running executable into buf (capacity cap). Returns false when it does
// not fit or cannot be found; buf then holds the empty text.
bool GetModulePath(char* buf, int cap);
