#pragma once

// Starts the program named by the first token of commandLine with the rest as its arguments,
// in the current directory, shown normally, without waiting for it to end. Returns false when
// it could not be started.
bool StartProgram(const char* commandLine);
