#pragma once

#include "app/Forms.h"

// Puts a window that a test built into its slot, as the program's entry and
// the builders do, and empties the slot again when the scope ends.
template <class Window>
class WindowInSlot {
  public:
    WindowInSlot(Window* Forms::*slot, Window& window) : slot_(slot) { forms().*slot_ = &window; }
    ~WindowInSlot() { forms().*slot_ = nullptr; }
    WindowInSlot(const WindowInSlot&) = delete;
    WindowInSlot& operator=(const WindowInSlot&) = delete;

  private:
    Window* Forms::*slot_;
};
