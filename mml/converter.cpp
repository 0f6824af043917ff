#include "mml/converter.h"

#include <algorithm>

namespace vantrel {

Converter::Converter(std::span<const std::uint8_t> smf, const SmfHeader& header,
                     const RhythmTable& rhythm, const Settings& settings, std::uint32_t gridNote,
                     TextWriter& output)
    : output_(output),
      words_(vocabulary(settings.dialect)),
      headTexts_(words_),
      lengths_(header.division),
      filter_(settings.filterMask),
      context_{smf,      header,  rhythm,  settings, words_, headTexts_,
               lengths_, nullptr, output_, &track_,  &spans_} {
  if (gridNote != 0) {
    quantizer_.emplace(rhythm, settings.pickupTicks, gridStep(gridNote, header.division));
    gridLengths_.emplace(header.division, gridNote, words_.tie);
    context_.gridLengths = &*gridLengths_;
    context_.track = &gridTrack_;
    context_.spans = &gridSpans_;
  }
}

void Converter::reserveFor(std::span<const TrackChunk> tracks) {
  std::size_t events = 0, systemEvents = 0;
  for (const TrackChunk& chunk : tracks) {
    events = std::max(events, keptEvents(chunk));
    systemEvents = std::max<std::size_t>(systemEvents, chunk.passEvents[0]);
  }
  track_.reserve(events, systemEvents);
  if (quantizer_) {
    gridTrack_.reserve(2 * events, systemEvents);
    gridSpans_.reserve(2 * events);
  } else {
    spans_.reserve(events);
  }
}

void Converter::convertTrack(std::uint32_t index, const TrackChunk& chunk, std::uint32_t stopAt) {
  output_.write("//--------------------------------------\n//MTrk Infomation :\n//\tSize = ");
  output_.writeUnsigned(chunk.length);
  output_.write("\n\n");
  output_.write(words_.track);
  output_.write("(");
  output_.writeUnsigned(index);
  output_.write(");\n");
  track_.decode(context_.smf, filter_, chunk);
  if (quantizer_) {
    quantizer_->quantize(track_, gridTrack_, gridSpans_);
  } else {
    spans_.find(track_);
  }
  // A fault lies among the system events, which pass 0 writes.
  PassWriter(context_, 0).write(stopAt);
  if (stopAt != kNoStop) return;
  for (int pass = 1; pass < kPassCount; ++pass) {
    if (output_.failed()) return;
    PassWriter(context_, pass).write(kNoStop);
  }
  output_.write("\n\n");
}

}  // namespace vantrel
