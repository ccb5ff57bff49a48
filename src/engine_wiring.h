// Connects the subsystems to the shell's hook table.
#pragma once

namespace korvel {

// Fills the subsystem hooks with every subsystem that is built.
void WireSubsystems();

}  // namespace korvel
