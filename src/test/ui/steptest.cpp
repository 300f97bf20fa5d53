#include "test/ui/steptest.h"

#include "test/ui/slotcontext.h"

namespace ondrel {

StepController::StepController(SlotContext& slot, QObject* parent)
    : QObject(parent), m_slot(slot) {}

} // namespace ondrel
