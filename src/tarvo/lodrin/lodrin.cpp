#include "tarvo/lodrin/lodrin.hpp"

#include <system_error>

namespace tarvo::lodrin {

fs::path ddl_path_for_program(const fs::path& exe) {
    std::error_code ec;
    fs::path installed = exe.parent_path().parent_path() / "share" / "tarvo" / "sql" / "bronze";
    if (!exe.empty() && fs::is_directory(installed, ec)) return installed;
    return fs::path(TARVO_SQL_DIR_BUILD);
}

fs::path get_ddl_path() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ddl_path_for_program(ec ? fs::path() : exe);
}

}  // namespace tarvo::lodrin
