#pragma once
// The order in which the show called its stand-ins, for tests: names joined by ';'.

// Written by the stand-ins through logCall, read and cleared by tests.
extern char callLog[1024];

// Appends one call's name (and ';') to the log; a full log keeps its beginning.
void logCall(const char* name);

void clearCallLog();
