#include "test/ui/singletest.h"

#include "test/ui/slotcontext.h"

namespace ondrel {

SingleTestController::SingleTestController(SlotContext& slot, QObject* parent)
    : QObject(parent), m_slot(slot) {}

void SingleTestController::ShowParams(int) {}

void SingleTestController::ContClick(int channel) {
  emit continueRequested(channel);
}

void SingleTestController::SetRunButtons(int) {}

} // namespace ondrel
