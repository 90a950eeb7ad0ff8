#pragma once
// One night of a fictional patient with a few tumescence episodes, sampled every 10 s, as the
// recorder would have stored it: the example recordings and the simulated recorder's memory.
#include <string>

#include "recorder/memory_image.h"

namespace npt {

// password: up to ten characters that Windows-1251 can hold; empty for none.
MemoryImage exampleNight(const std::string& password);

}  // namespace npt
