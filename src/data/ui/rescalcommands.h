#pragma once

namespace ondrel {

class frmMain;

// "Resistance Test": the resistance window for the selected slot's panel channel, after its
// checks. The slot tabs are disabled while it is open, and this waits (events running) until it
// closes.
void ResistanceTest(frmMain& window);

} // namespace ondrel
