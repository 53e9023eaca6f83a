#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "document/map_document.h"

namespace kelvor {

struct ShortCells {
  size_t stop;   // where the first line not taken starts
  size_t count;  // cells taken
};

// The cell lines of one to eight digits (CR LF or LF) from `from`, each
// ending before `to`, appended to `cells`, at most `room` of them; stops at
// the first other line. Lines are found by their line ends 64 bytes at a
// time and each number is read from the eight bytes that end with it, so
// where a line starts never waits for the number before it. The bytes
// after `to` up to `size` may be looked at, never beyond.
ShortCells ReadShortCells(const char* text, size_t from, size_t to, size_t size, uint64_t room,
                          std::vector<MapCell>& cells);

}  // namespace kelvor
