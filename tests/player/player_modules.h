#pragma once
// Modules for the player's tests and benchmark, written with the IT writer.
#include <cstdint>
#include <string>
#include <vector>

#include "itwriter/itwriter.h"

constexpr int TEST_RATE = 44100;  // Hz

// A sharp click: a full-scale burst that dies away within about 10 ms, easy to find in a recording.
itw::Sample clickSample();

// A module of `patterns` patterns of `rows` rows and `channels` channels, one per order,
// with the click as sample 1. Tempo and speed as given (rows last speed * floor(110250 / tempo) frames).
itw::Module blankModule(int patterns, int rows, int channels, uint8_t speed, uint8_t tempo);

// A Zxx cell (no note).
itw::Cell zCell(uint8_t parameter);

// A click note, full volume, with an optional effect.
itw::Cell clickCell(char effect = 0, uint8_t parameter = 0);
