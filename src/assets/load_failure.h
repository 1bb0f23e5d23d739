#pragma once
// The two ways an asset load ends the process: both messages go to standard
// error after whatever the load log already holds, and the status is -1.
#include <string>

[[noreturn]] void fail_unable_to_load(const std::string& filename);
[[noreturn]] void fail_out_of_memory();
