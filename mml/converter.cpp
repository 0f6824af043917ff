#include "mml/converter.h"

#include <algorithm>
#include <cassert>

#include "grid/quantize.h"

namespace vantrel {
namespace {

std::unique_ptr<LengthWriter> lengthsOf(const OpenedSong& song, const Vocabulary& words) {
  if (song.gridStep != 0) {
    return std::make_unique<GridLengthCache>(song.header.division, song.grid.note,
                                             song.grid.tripletNote, words.tie);
  }
  return std::make_unique<LengthCache>(song.header.division);
}

}  // namespace

Converter::Converter(const OpenedSong& song, TextWriter& output, PreviewCollector* preview)
    : song_(song),
      output_(output),
      preview_(preview),
      words_(vocabulary(song.settings.dialect)),
      headTexts_(words_),
      lengths_(lengthsOf(song, words_)),
      filter_(song.settings.filterMask),
      context_{song, words_, headTexts_, *lengths_, output_, {},
               song.settings.voices ? &voices_ : nullptr,
               song.settings.velocityStep > 1 ? &velocityPlan_ : nullptr,
               preview != nullptr ? &preview->lineMarks() : nullptr} {
  if (song.gridStep != 0) {
    steps_.push_back(std::make_unique<Quantizer>(song.rhythm, song.settings.pickupTicks,
                                                 song.header.division, song.grid));
  }
}

void Converter::reserveFrom(std::uint32_t first) {
  std::size_t events = 0, systemEvents = 0;
  for (std::uint32_t t = first; t < song_.tracksWritten(); ++t) {
    const PassCounts counts = song_.written(t);
    events = std::max(events, totalEvents(counts));
    systemEvents = std::max<std::size_t>(systemEvents, counts[0]);
  }
  track_.reserve(events, systemEvents);
  spans_.reserve(events);
  for (const auto& step : steps_) step->reserve(events, systemEvents);
  // A grid may make a Note Off for each note.
  if (context_.voices != nullptr) voices_.reserve(steps_.empty() ? events : 2 * events);
  if (context_.velocityPlan != nullptr) velocityPlan_.reserve(events);
}

void Converter::convertTrack(std::uint32_t index) {
  assert(index < song_.tracksWritten());
  const TrackChunk& chunk = song_.tracks[index];
  output_.write("//--------------------------------------\n//MTrk Infomation :\n//\tSize = ");
  output_.writeUnsigned(chunk.length);
  output_.write("\n\n");
  output_.write(words_.track);
  output_.write("(");
  output_.writeUnsigned(index);
  output_.write(");\n");
  track_.decode(song_.smf, filter_, chunk, song_.written(index));
  spans_.find(track_);
  const TrackView decoded{&track_, &spans_, index};
  TrackView view = decoded;
  for (const auto& step : steps_) view = step->apply(view);
  context_.view = view;
  const std::uint32_t stopAt = song_.stopAt(index);
  if (context_.voices != nullptr && stopAt == kNoStop) voices_.deal(view);
  if (preview_ != nullptr) preview_->addTrack(index, decoded, view, stopAt, context_.voices);
  // A fault lies among the system events, which pass 0 writes.
  PassWriter(context_, 0).write(stopAt);
  if (stopAt != kNoStop) return;
  for (int pass = 1; pass < kPassCount; ++pass) {
    const int voices = context_.voices != nullptr ? voices_.count(pass) : 1;
    for (int voice = 0; voice < voices; ++voice) {
      if (output_.failed()) return;
      PassWriter(context_, pass, voice).write(kNoStop);
    }
  }
  output_.write("\n\n");
}

}  // namespace vantrel
