// Rand and Randomize: the runtime's random numbers. One generator per process, safe to call from
// any thread. Until Randomize is called the generator starts from a fixed value, so a run that
// never calls Randomize draws the same numbers every time.
#pragma once

namespace hostrt {

// A whole number from 1 to `upper`, uniformly distributed; 0 when `upper` is below 1.
int Rand(int upper);

// Restarts the generator: from `start` when it is not 0, from the clock (and the system's
// entropy source) when it is 0.
void Randomize(unsigned int start);

}  // namespace hostrt
