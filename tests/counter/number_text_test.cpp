#include <gtest/gtest.h>

#include "counter/number_text.h"
