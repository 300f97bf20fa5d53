#include "test/ui/autotest.h"

#include "test/ui/slotcontext.h"

namespace ondrel {

AutoTestController::AutoTestController(SlotContext& slot, QObject* parent)
    : QObject(parent), m_slot(slot) {}

void AutoTestController::InitAutoPage() {}

} // namespace ondrel
