// One window program per user and desktop. The first start holds the claim while it runs; a
// later start asks the holder to come to the front and ends instead of opening a second window
// that would compete for the same tester. One implementation file per system.
#pragma once

#include <functional>
#include <memory>
#include <string>

// The claim of the first start. Destroy it before the window it was attached to.
class TDesktopInstance {
 public:
  virtual ~TDesktopInstance() = default;
  // From now on a later start brings this window to the front. window: the form's system
  // handle, where the later start activates it itself (Windows); raise: what the holder runs,
  // on a thread of the claim, where the later start asks for it (elsewhere).
  virtual void Attach(void* window, std::function<void()> raise) = 0;
};

struct TDesktopClaim {
  std::unique_ptr<TDesktopInstance> Held;  // set: this is the first start
  bool Raised = false;  // a later start: the running program's window came to the front
};

// Claims the desktop for the program. A claim that the system cannot keep (no runtime folder,
// for one) never stops the program: it then runs as the first.
TDesktopClaim ClaimDesktop(const std::string& program);

// The name the claim is kept under: the program's and the desktop's (an X display without its
// screen number, a Wayland socket's name), in characters that any file or object name takes.
std::string DesktopClaimName(const std::string& program, const std::string& display);
