#pragma once
// The studio without a window: --script runs the transport's commands and prints where the show
// stands and its picture's hash, for the tests (the same commands as the keys, on a clock of
// the script's own).

// Runs the script of --script (from standard input for "-"); exits with 0 when done, 2 on a bad command.
[[noreturn]] void runScript();

// Prints the picture's hash as the capture's frame log has it, with where the show stands.
void printHash();
