// A step whose failure the window absorbs: the port, the registry, an element's setting.
#pragma once

template <class F>
void Absorb(F&& step) {
  try {
    step();
  } catch (...) {
  }
}
