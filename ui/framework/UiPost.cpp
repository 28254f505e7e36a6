#include "ui/framework/UiPost.h"

#include <wx/app.h>

namespace ridgeforge::ui {

void UiTarget::Deliver(int message, std::uint32_t job) const {
    if (alive_.load() && handler_) handler_(message, job);
}

UiTargetToken MakeUiTarget(UiMessageHandler handler) { return std::make_shared<UiTarget>(std::move(handler)); }

void UiPost(const UiTargetToken& target, int message, std::uint32_t job) {
    if (!target || !target->Alive() || wxTheApp == nullptr) return;
    // CallAfter queues through the thread-safe event queue; the lambda holds
    // the token, so it lives until the delivery has looked at it.
    wxTheApp->CallAfter([target, message, job] { target->Deliver(message, job); });
}

}  // namespace ridgeforge::ui
