// Replays a captured byte stream of a tester's reading (what the tester sent: header frame and
// record frames) through the program's link protocol, frame by frame in chunks as the line hands
// bytes over.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "mainwindow/archive.h"

struct TReplay {
  TArchive Archive;
  bool Complete = false;  // the capture held a whole reading
};

// say(text) receives every status text and message that the window would show.
TReplay ReplayCapture(const std::uint8_t* data, std::size_t size,
                      const std::function<void(const std::string&)>& say);
