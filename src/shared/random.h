#pragma once
#include <cstdint>

namespace k3l {

// Generator state: written by rand, read by rand and by tests that replay the sequence.
extern uint32_t randState;

// The show's one random sequence: the same values on every platform, never reseeded.
int rand();

}  // namespace k3l
