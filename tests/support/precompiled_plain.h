// Headers precompiled for the test suites without Qt (TQ50R_PCH). Every test file still includes
// what it uses: the asan build goes without precompiled headers and shows a missing include.
#pragma once

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>
