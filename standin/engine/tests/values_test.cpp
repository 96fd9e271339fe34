#include "standin/engine/tests/engine_fixture.h"
