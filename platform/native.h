// What each build provides behind the common parts of platform/.
#pragma once

#include "platform/ui.h"

namespace platform::native {

box_answer message_box(const char* text, const char* caption, box_buttons buttons);

}  // namespace platform::native
