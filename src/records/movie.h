#pragma once
// The movie of a run: an animated GIF of the current profile above the log energy density, the
// two strips of the solution tab drawn by the same routines, with t and E written in each frame.
// Frames are written as the run goes, so memory stays the same for any length of run.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "engine/marks.h"
#include "engine/sim_state.h"
#include "records/pending_file.h"
#include "base/canvas.h"
#include "views/pixel_font.h"
#include "views/strip_painter.h"

namespace kl {

// An animated GIF that loops, every frame the full picture shown for the same delay. Colours
// are mapped to a fixed palette of 256 that holds the pictures' drawing colours exactly (the
// others go to the nearest entry). Written under a temporary name; Finish closes and renames
// it over `path`; a writer that goes without Finish removes its file.
class GifMovieWriter {
 public:
  GifMovieWriter();
  ~GifMovieWriter();
  GifMovieWriter(const GifMovieWriter&) = delete;
  GifMovieWriter& operator=(const GifMovieWriter&) = delete;

  // delay: hundredths of a second per frame.
  bool Create(const std::string& path, int width, int height, int delay, std::string& error);
  // A canvas of the movie's size.
  bool AddFrame(const Canvas& frame, std::string& error);
  bool Finish(std::string& error);
  long Frames() const { return frames_; }

 private:
  uint8_t PaletteIndex(uint32_t pixel);
  bool Fail(const std::string& what, int code, std::string& error);
  void Close();

  std::unique_ptr<PendingFile> pending_;
  void* gif_ = nullptr;  // GifFileType
  int width_ = 0, height_ = 0, delay_ = 2;
  long frames_ = 0;
  std::unordered_map<uint32_t, uint8_t> indices_;
  std::vector<uint8_t> line_;
};

// GIF delays are hundredths of a second; browsers show shorter ones slower, so 2 is the least.
inline constexpr int kMinGifDelay = 2;
// The delay that plays `frames` frames in about `seconds`.
int GifDelayFor(long frames, double seconds);

class RunMovie {
 public:
  // `every`: steps between frames.
  bool Open(const std::string& path, int width, int height, long every, int delay, std::string& error);
  // step 0: the prepared level; then the step count after each step. The strips draw on the
  // movie's own canvases; the state's strip frames are set as the window's strips set them.
  bool Sample(SimState& sim, const Marks& marks, long step, std::string& error);
  bool Finish(std::string& error) { return writer_.Finish(error); }
  long Frames() const { return writer_.Frames(); }

 private:
  GifMovieWriter writer_;
  long every_ = 1;
  Canvas profile_, density_, frame_;
  StripMemory profileMemory_, densityMemory_;
  PixelFont font_;
};

}  // namespace kl
