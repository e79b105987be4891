#include "run/early_end.h"

#include <array>

#include "install/layout.h"
#include "package/manifest_check.h"
#include "package/work_folder.h"
#include "platform/ui.h"
#include "run/tell.h"
#include "ui/strings.h"

namespace run {

void end_early(platform::module_handle module, bool silent, const std::string& work_folder, package::early_end code,
               const std::string& text) {
    if (!work_folder.empty()) package::status_file{work_folder}.record_outcome(static_cast<int>(code));
    if (silent || text.empty()) return;
    platform::message_box(text.c_str(), ui::load_text(module, IDS_UPDATER_CAPTION).c_str(),
                          platform::box_buttons::ok);
}

bool package_holds_together(const run_context& context, int records) {
    std::array<const char*, install::section_count> sections{};
    for (std::size_t i = 0; i < sections.size(); ++i) sections[i] = install::layout[i].manifest_name;
    bool any_entry = context.manifest.total_entries() != 0;
    for (const char* section : sections) any_entry = any_entry || context.manifest.section_count(section) != 0;
    if (!any_entry) {
        // A package that holds nothing to do: the message is shown even to
        // a silent run, as it always was.
        package::clean_work_folder(context.work_folder);
        show_error(context.module, IDS_NO_FILES);
        end_early(context.module, true, context.work_folder, package::early_end::damaged_package, "");
        return false;
    }
    std::vector<std::string> found = package::check_manifest(context.manifest, sections, records);
    if (found.empty()) return true;
    package::clean_work_folder(context.work_folder);
    end_early(context.module, context.silent, context.work_folder, package::early_end::damaged_package,
              package::damaged_package_text(found.front()));
    return false;
}

std::string split_failure_message(package::split_result result, const std::string& work_folder) {
    if (result == package::split_result::written) return "";
    if (result == package::split_result::write_failed)
        return "The update could not be unpacked into the work folder " + work_folder + ": its disk is full.";
    return "The update could not be unpacked into the work folder " + work_folder + ".";
}

}  // namespace run
