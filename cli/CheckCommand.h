#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "app/UserInterface.h"
#include "engine/CurlApi.h"
#include "config/Settings.h"
#include "engine/RunningFlag.h"

namespace tallyvane::cli {

enum ExitStatus : int { kExitFinished = 0, kExitError = 1, kExitAborted = 130 };

// Checks each URL in turn and prints its chain hop by hop to out.
int checkUrls(const CurlApi& curl, const std::vector<std::string>& urls, const Settings& settings, UserInterface& ui,
              RunningFlag& running, std::FILE* out);

}  // namespace tallyvane::cli
