// Fault: what went wrong, as one small value that every layer returns and
// every front end turns into text in one place.
//
// The kinds are every fault the program can report. The command line and
// the SMF data have fixed messages (code page 932, from one table); a file
// that cannot be read or written carries its name and the system's errno.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

namespace vantrel {

enum class FaultKind : std::uint8_t {
  kNone,

  // The command line; each message follows the option-fault prefix.
  kBadOption,         // `subject`: the text after the prefix ("/B", or nothing)
  kSecondSmfName,
  kNoOutputName,
  kSecondOutputName,
  kBadGrid,           // `subject`: the /Q or --quantize argument; found with the header
  kBadList,           // `subject`: a --tracks or --channels argument that is no list
  // Found once the tracks are walked; `subject`: the argument.
  kNoSuchTrack,
  kNoSuchChannel,
  kNothingChosen,     // `subject`: both arguments given

  // Files: `subject` is the file's name as the user gave it.
  kFileError,     // `error` is the errno of the failing call
  kOutputIsInput,
  kOutputTooLong,  // the MML would pass the cap that the user set

  // The header chunk: nothing has been written when one of these is found.
  kNoMThd,
  kFormat2,
  kUnknownFormat,
  kNoTracks,
  kFormat0Tracks,
  kZeroDivision,
  kSmpteDivision,

  // The tracks: every message follows the data-fault prefix.
  kNoMTrk,
  kTrackCutShort,
  kInvalidMidiEvent,
  kBadSequenceNumber,
  kBadChannelPrefix,
  kBadPort,
  kBadEndOfTrack,
  kBadTempo,
  kBadSmpteOffset,
  kBadTimeSignature,
  kBadKeySignature,
  kBadMetaEvent,
};

struct Fault {
  Fault() = default;
  // A fault of a kind alone converts, so that a layer returns a FaultKind
  // where a Fault is asked for.
  Fault(FaultKind kind, int error = 0, std::string subject = {})
      : kind(kind), error(error), subject(std::move(subject)) {}

  FaultKind kind = FaultKind::kNone;
  int error = 0;        // errno, for kFileError
  std::string subject;  // an option's text, or a file's name

  explicit operator bool() const { return kind != FaultKind::kNone; }
  bool operator==(const Fault&) const = default;
};

inline Fault fileFault(std::string name, int error) {
  return Fault{FaultKind::kFileError, error, std::move(name)};
}

// The fixed text of `kind` (code page 932): the line after the data-fault
// prefix, ending in a line feed, or the text after the option-fault prefix;
// empty for kinds whose text is all subject and errno.
std::string_view faultText(FaultKind kind);

// "SMFファイルのデータが不正です。\n", before every fault of the SMF data.
std::string_view dataFaultPrefix();
// The whole message of a fault of the SMF data, as the program prints it.
std::string dataFaultMessage(FaultKind kind);
// "オプションが不正です。：", before every fault of the command line.
std::string_view optionFaultPrefix();

}  // namespace vantrel
