#pragma once
// Texts of the program's string table, read the way the program's own code
// reads them: into a buffer of a fixed size, so that a longer entry is cut.

#include <cstddef>
#include <string>

// The string resource `id` of the program module, at most bufferSize - 1
// characters; "" when there is no such entry or the buffer is empty.
std::string LoadStringBuffer(unsigned id, size_t bufferSize = 500);
