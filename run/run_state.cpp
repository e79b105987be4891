#include "run/run_state.h"

namespace run {

bool silent_mode = false;
bool backup_mode = false;
std::string work_folder_path;
std::string manifest_path;
std::intptr_t worker_handle = 0;
std::atomic<int> quit_flag{quit_none};

}  // namespace run
