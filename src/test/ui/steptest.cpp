#include "test/ui/steptest.h"

#include "test/ui/slotcontext.h"

namespace ondrel {

StepController::StepController(SlotContext& slot, QObject* parent)
    : QObject(parent), m_slot(slot) {}

void StepController::programStarted() {
  m_slot.channel(0).StepCurves = true;
}

} // namespace ondrel

namespace ondrel {

void StepController::connectPanel() {}

} // namespace ondrel
