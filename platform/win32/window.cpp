#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstring>

#include "platform/native.h"
#include "platform/window.h"

namespace platform {

namespace {

// The one dialog served, and the context its procedure gets.
std::atomic<dialog_procedure> served_procedure{nullptr};
std::atomic<void*> served_context{nullptr};

INT_PTR CALLBACK dialog_entry(HWND window, UINT message, WPARAM, LPARAM) {
    dialog_procedure procedure = served_procedure.load();
    if (!procedure) return FALSE;
    window_message kind = message == WM_INITDIALOG ? window_message::init_dialog
                          : message == WM_TIMER    ? window_message::timer
                                                   : window_message::other;
    return procedure(window, kind, served_context.load()) ? TRUE : FALSE;
}

HWND to_native(window_handle window) { return static_cast<HWND>(window); }

}  // namespace

void init_common_controls() { InitCommonControls(); }

std::string control_text(window_handle window, int control) {
    char text[2000] = "";
    GetDlgItemTextA(to_native(window), control, text, sizeof text);
    return text;
}

int bar_upper(window_handle window, int control) {
    return static_cast<int>(SendMessageA(GetDlgItem(to_native(window), control), PBM_GETRANGE, FALSE, 0));
}

int bar_position(window_handle window, int control) {
    return static_cast<int>(SendMessageA(GetDlgItem(to_native(window), control), PBM_GETPOS, 0, 0));
}

static_assert(sizeof(MSG) <= sizeof(queued_message::storage), "a MSG must fit a queued_message");

bool get_message(queued_message* message) {
    MSG taken;
    if (GetMessageA(&taken, nullptr, 0, 0) <= 0) return false;
    std::memcpy(message->storage, &taken, sizeof taken);
    return true;
}

void dispatch_message(const queued_message& message) {
    MSG taken;
    std::memcpy(&taken, message.storage, sizeof taken);
    DispatchMessageA(&taken);
}

namespace native {

window_handle create_dialog(module_handle instance, int template_id, dialog_procedure procedure, void* context) {
    served_context = context;
    served_procedure = procedure;
    HINSTANCE module = instance ? static_cast<HINSTANCE>(instance) : GetModuleHandleA(nullptr);
    return CreateDialogParamA(module, MAKEINTRESOURCEA(template_id), nullptr, dialog_entry, 0);
}

bool set_timer(window_handle window, unsigned id, unsigned milliseconds) {
    return SetTimer(to_native(window), id, milliseconds, nullptr) != 0;
}

std::uint32_t tick_count() { return GetTickCount(); }

void set_control_text(window_handle window, int control, const char* text) {
    SetDlgItemTextA(to_native(window), control, text);
}

void set_bar_range(window_handle window, int control, int upper) {
    SendMessageA(GetDlgItem(to_native(window), control), PBM_SETRANGE, 0, MAKELPARAM(0, upper));
}

void set_bar_position(window_handle window, int control, int position) {
    // The position sign-extended, as a signed counter is.
    WPARAM sign_extended = static_cast<WPARAM>(static_cast<INT_PTR>(position));
    SendMessageA(GetDlgItem(to_native(window), control), PBM_SETPOS, sign_extended, 0);
}

}  // namespace native

}  // namespace platform
