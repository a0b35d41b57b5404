#include "records/movie.h"

#include <fcntl.h>
#include <gif_lib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/numbers.h"
#include "views/run_pictures.h"

namespace kl {

namespace {

GifFileType* Gif(void* p) { return static_cast<GifFileType*>(p); }

// The drawing colours first, then a 6 x 6 x 6 cube and greys for anything else.
std::vector<GifColorType> MoviePalette() {
  std::vector<GifColorType> colours;
  for (Rgb c : {kWhite, kBlack, kBlue, kNavy, kRed, kGreen, kYellow, kAqua})
    colours.push_back(GifColorType{c.r, c.g, c.b});
  for (int r = 0; r < 6; ++r)
    for (int g = 0; g < 6; ++g)
      for (int b = 0; b < 6; ++b)
        colours.push_back(GifColorType{static_cast<GifByteType>(51 * r), static_cast<GifByteType>(51 * g),
                                       static_cast<GifByteType>(51 * b)});
  for (int k = 1; colours.size() < 256; ++k) {
    const auto grey = static_cast<GifByteType>(std::min(255, 8 * k));
    colours.push_back(GifColorType{grey, grey, grey});
  }
  return colours;
}

const std::vector<GifColorType>& Palette() {
  static const std::vector<GifColorType> palette = MoviePalette();
  return palette;
}

}  // namespace

int GifDelayFor(long frames, double seconds) {
  if (frames < 1) return kMinGifDelay;
  const double delay = std::nearbyint(100.0 * seconds / static_cast<double>(frames));
  return static_cast<int>(std::clamp(delay, double{kMinGifDelay}, 65535.0));
}

GifMovieWriter::GifMovieWriter() = default;

GifMovieWriter::~GifMovieWriter() { Close(); }

void GifMovieWriter::Close() {
  if (gif_) {
    int code = 0;
    EGifCloseFile(Gif(gif_), &code);
    gif_ = nullptr;
  }
}

bool GifMovieWriter::Fail(const std::string& what, int code, std::string& error) {
  // A failed write has the system's reason (a full disk, a size limit) in errno.
  const int err = errno;
  const bool written = code == E_GIF_ERR_WRITE_FAILED || code == E_GIF_ERR_DISK_IS_FULL;
  const char* reason = written && err != 0 ? std::strerror(err) : GifErrorString(code);
  error = "cannot write " + (pending_ ? pending_->Path() : std::string("the movie")) + ": " + what + ": " +
          (reason ? reason : "GIF error");
  Close();
  if (pending_) pending_->Discard();
  return false;
}

bool GifMovieWriter::Create(const std::string& path, int width, int height, int delay, std::string& error) {
  Close();
  pending_ = std::make_unique<PendingFile>(path);
  if (!pending_->Create(error)) return false;
  width_ = width;
  height_ = height;
  delay_ = std::clamp(delay, kMinGifDelay, 65535);
  frames_ = 0;
  line_.assign(static_cast<size_t>(std::max(width, 0)), 0);
  // Opened here rather than by giflib: the temporary file is made with the usual permissions.
  const int fd = open(pending_->TempPath().c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    pending_->Discard();
    return false;
  }
  int code = 0;
  gif_ = EGifOpenFileHandle(fd, &code);
  if (!gif_) {
    close(fd);
    return Fail("creating the file", code, error);
  }
  EGifSetGifVersion(Gif(gif_), true);  // GIF89a: the delay and the loop are extensions
  std::vector<GifColorType> colours = Palette();
  ColorMapObject* map = GifMakeMapObject(256, colours.data());
  if (!map) return Fail("making the palette", E_GIF_ERR_NOT_ENOUGH_MEM, error);
  const int described = EGifPutScreenDesc(Gif(gif_), width, height, 8, 0, map);
  GifFreeMapObject(map);
  if (described == GIF_ERROR) return Fail("writing the screen", Gif(gif_)->Error, error);
  // The application extension that makes viewers loop the movie (0: for ever).
  static const char kLoopApp[] = "NETSCAPE2.0";
  const GifByteType loop[3] = {1, 0, 0};
  if (EGifPutExtensionLeader(Gif(gif_), APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
      EGifPutExtensionBlock(Gif(gif_), 11, kLoopApp) == GIF_ERROR ||
      EGifPutExtensionBlock(Gif(gif_), 3, loop) == GIF_ERROR || EGifPutExtensionTrailer(Gif(gif_)) == GIF_ERROR)
    return Fail("writing the loop", Gif(gif_)->Error, error);
  return true;
}

uint8_t GifMovieWriter::PaletteIndex(uint32_t pixel) {
  const auto found = indices_.find(pixel);
  if (found != indices_.end()) return found->second;
  const Rgb c = UnpackRgb(pixel);
  const std::vector<GifColorType>& palette = Palette();
  int best = 0;
  long bestDistance = -1;
  for (int k = 0; k < static_cast<int>(palette.size()); ++k) {
    const long dr = c.r - palette[k].Red, dg = c.g - palette[k].Green, db = c.b - palette[k].Blue;
    const long distance = dr * dr + dg * dg + db * db;
    if (bestDistance < 0 || distance < bestDistance) {
      best = k;
      bestDistance = distance;
    }
  }
  indices_.emplace(pixel, static_cast<uint8_t>(best));
  return static_cast<uint8_t>(best);
}

bool GifMovieWriter::AddFrame(const Canvas& frame, std::string& error) {
  if (!gif_) {
    error = "the movie is not open";
    return false;
  }
  if (frame.Width() != width_ || frame.Height() != height_) {
    error = "a frame of the wrong size";
    return false;
  }
  errno = 0;  // a failed write below leaves its reason there
  GraphicsControlBlock control{};
  control.DisposalMode = DISPOSE_DO_NOT;
  control.UserInputFlag = false;
  control.DelayTime = delay_;
  control.TransparentColor = NO_TRANSPARENT_COLOR;
  GifByteType extension[4];
  const size_t length = EGifGCBToExtension(&control, extension);
  if (EGifPutExtension(Gif(gif_), GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) == GIF_ERROR ||
      EGifPutImageDesc(Gif(gif_), 0, 0, width_, height_, false, nullptr) == GIF_ERROR)
    return Fail("writing a frame", Gif(gif_)->Error, error);
  uint32_t last = 0;
  uint8_t lastIndex = 0;
  bool haveLast = false;
  for (int y = 0; y < height_; ++y) {
    const uint32_t* row = frame.ConstRow(y);
    for (int x = 0; x < width_; ++x) {
      // Most neighbours share their colour: look a colour up only where it changes.
      if (!haveLast || row[x] != last) {
        last = row[x];
        lastIndex = PaletteIndex(last);
        haveLast = true;
      }
      line_[x] = lastIndex;
    }
    if (EGifPutLine(Gif(gif_), line_.data(), width_) == GIF_ERROR)
      return Fail("writing a frame", Gif(gif_)->Error, error);
  }
  ++frames_;
  return true;
}

bool GifMovieWriter::Finish(std::string& error) {
  if (!gif_) {
    error = "the movie is not open";
    return false;
  }
  int code = 0;
  errno = 0;
  const int closed = EGifCloseFile(Gif(gif_), &code);
  gif_ = nullptr;
  if (closed == GIF_ERROR) return Fail("closing", code, error);
  return pending_->Commit(error);
}

// --- The run's movie ----------------------------------------------------------------------

bool RunMovie::Open(const std::string& path, int width, int height, long every, int delay, std::string& error) {
  every_ = std::max(every, 1L);
  const int top = height / 2;
  profile_.Resize(width, top);
  density_.Resize(width, height - top);
  frame_.Resize(width, height);
  font_ = PixelFont(height >= 240 ? 2 : 1);
  return writer_.Create(path, width, height, delay, error);
}

bool RunMovie::Sample(SimState& sim, const Marks& marks, long step, std::string& error) {
  if (step % every_ != 0) return true;
  // The first step of the second phase keeps no level to draw (the window draws none either):
  // that frame shows the strips as they were, with the new time.
  if (!(sim.PhaseTwo && sim.WindowBase == 0)) {
    // The window draws its strips only while the solution tab is shown; the movie always shows
    // them. The marks are drawn where the run has them, on a copy that the drawing may change.
    const bool shown = sim.SolutionTabShown;
    sim.SolutionTabShown = true;
    // Before the first step the light cone is the initial interval.
    const int half = step == 0 ? std::min(sim.GridSize / 2, kHistoryHalf - 1) : sim.CurrentHalfWidth;
    Marks drawn = marks;
    DrawCurrentSolution(sim, drawn, LogSettings{}, nullptr, profile_, half, sim.LayerNow - sim.WindowBase, false,
                        &profileMemory_);
    DrawDensityProfile(sim, density_, half, &densityMemory_);
    sim.SolutionTabShown = shown;
  }
  const int width = frame_.Width();
  for (int y = 0; y < profile_.Height(); ++y)
    std::memcpy(frame_.Row(y), profile_.ConstRow(y), sizeof(uint32_t) * width);
  for (int y = 0; y < density_.Height(); ++y)
    std::memcpy(frame_.Row(profile_.Height() + y), density_.ConstRow(y), sizeof(uint32_t) * width);
  frame_.SetPenColor(kBlack);
  frame_.SetPenWidth(1);
  frame_.MoveTo(0, profile_.Height());
  frame_.LineTo(width, profile_.Height());
  // The time and the energy as the text block shows them (the font has no capital E).
  const std::string time = "t=" + FormatWD(sim.TimeNow, 6, 1) + ", energy=" + FormatWD(sim.EnergyTotal, 5, 3);
  const int margin = 2 * font_.TextHeight() / 7;
  font_.DrawText(frame_, margin, margin, time, kBlack, kWhite);
  const std::string profileLabel = "u(x)", densityLabel = "ln r(x)";
  font_.DrawText(frame_, width - margin - font_.TextWidth(profileLabel), margin, profileLabel, kBlue, kWhite);
  font_.DrawText(frame_, width - margin - font_.TextWidth(densityLabel), profile_.Height() + 1 + margin,
                 densityLabel, kRed, kWhite);
  return writer_.AddFrame(frame_, error);
}

}  // namespace kl
