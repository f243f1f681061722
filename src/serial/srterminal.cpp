// The terminal binding of the base component: an edit control that shows received bytes and
// sends typed characters.
#include <algorithm>

#include "serial/srclasses.h"

void TsrBaseIO::SetTerminal(TsrEditControl* Value) {
  if (fTerminal) {
    fTerminal->SetWindowProc(fOldTerminalWndProc);
    fTerminal->RemoveFreeNotification(this);
    fOldTerminalWndProc = nullptr;
  }
  if (Value) {
    fOldTerminalWndProc = Value->WindowProc();
    Value->SetWindowProc([this](TMessage& m) { TerminalWndProc(m); });
  }
  hTerminal = 0;
  fTerminal = Value;
  if ((fComponentState & csDesigning) && Value && fTerminalUsage == tuNone) fTerminalUsage = tuBoth;
  SetTerminalUsage(fTerminalUsage);
  if (Value) Value->FreeNotification(this);
}

void TsrBaseIO::SetTerminalUsage(TTerminalUsage Value) {
  fTerminalUsage = Value;
  if (!fTerminal) return;
  hTerminal = (Value == tuReceive || Value == tuBoth) ? fTerminal->Handle() : 0;
}

void TsrBaseIO::TerminalWndProc(TMessage& Message) {
  if (!fTerminalLocked && Message.Msg == WM_CHAR &&
      (fTerminalUsage == tuSend || fTerminalUsage == tuBoth)) {
    SendChar(static_cast<std::uint32_t>(Message.WParam));
    if (!fTerminalEcho) return;
  }
  if (fOldTerminalWndProc) fOldTerminalWndProc(Message);
}

void TsrBaseIO::SendToTerminal(TMessage& Message) {
  if (hTerminal == 0 || !fTerminal) return;
  if (const TWndMethod proc = fTerminal->WindowProc()) proc(Message);
}

void TsrBaseIO::TerminalWrite(const std::uint8_t* Buffer, std::uint32_t Len) {
  if (!Buffer || Len == 0) return;
  struct TLock {
    bool& flag;
    explicit TLock(bool& f) : flag(f) { flag = true; }
    ~TLock() { flag = false; }
  } lock(fTerminalLocked);
  if (Len == 1) {
    TMessage m{WM_CHAR, Buffer[0], 1, 0};
    SendToTerminal(m);
    return;
  }
  // Zero bytes end the pieces; each is inserted at the caret as 8-bit text.
  const char* p = reinterpret_cast<const char*>(Buffer);
  const char* const end = p + Len;
  while (p < end) {
    const char* stop = std::find(p, end, '\0');
    if (stop > p) {
      const std::string piece(p, stop);
      TMessage m{EM_REPLACESEL, 0, reinterpret_cast<std::intptr_t>(piece.c_str()), 0};
      SendToTerminal(m);
    }
    p = stop + 1;
  }
}
